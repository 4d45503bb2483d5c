// The multi-page PostScript and PDF documents that the component keeps open.
#include "imaging/codecs/pdffilt.h"
#include "imaging/codecs/psfilt.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"

void TImageryIO::OpenPSDocument(const std::string& fileName) {
  ClosePSDocument();
  TOperation operation(*this);
  SetAborting(true);
  psFile_ = std::make_unique<TIEWideFileStream>(fileName, IE_FILE_CREATE);
  SetAborting(false);
  TIEProgressRecord progress = MakeProgress(false);
  psDocument_ = IEBeginPSDocument(*psFile_, *params_, progress);
  if (!psDocument_) psFile_.reset();
}

void TImageryIO::AddPSDocumentPage() {
  TOperation operation(*this);
  SetAborting(!psDocument_ || !BitmapCheck());
  if (!Aborting()) {
    TIEProgressRecord progress = MakeProgress(true);
    IEAddPSPage(*psDocument_, *psFile_, *bitmap_, progress, *params_);
  }
  DoFinishWork();
}

void TImageryIO::ClosePSDocument() {
  TOperation operation(*this);
  const std::unique_ptr<TStream> file = std::move(psFile_);
  if (file) IEEndPSDocument(psDocument_, *file);
  psDocument_.reset();
}

void TImageryIO::OpenPDFDocument(const std::string& fileName) {
  ClosePDFDocument();
  TOperation operation(*this);
  SetAborting(true);
  pdfFile_ = std::make_unique<TIEWideFileStream>(fileName, IE_FILE_CREATE);
  SetAborting(false);
  pdfDocument_ = IEBeginPDFDocument();
}

void TImageryIO::AddPDFDocumentPage() {
  TOperation operation(*this);
  SetAborting(!pdfDocument_ || !BitmapCheck());
  if (!Aborting()) {
    TIEProgressRecord progress = MakeProgress(true);
    IEAddPDFPage(*pdfDocument_, *bitmap_, *params_, progress);
  }
  DoFinishWork();
}

void TImageryIO::ClosePDFDocument() {
  TOperation operation(*this);
  const std::unique_ptr<TStream> file = std::move(pdfFile_);
  if (file) IEEndPDFDocument(pdfDocument_, *file, *params_);
  pdfDocument_.reset();
}
