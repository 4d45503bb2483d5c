// The lossless JPEG decoder against dcmtk's dcmdjpeg on the same DICOM file:
// one 3072 x 3072 frame of 12-bit samples coded by dcmcjpeg +e1 (first-order
// prediction). Ours reads the file and decodes the frame in process; the
// peer runs as a program that decodes the file to native data, so both sides
// count the CPU time of the process and the children it waited for.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/rounds.h"
#include "imaging/codecs/iedicom.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"

namespace {

const std::string kDir = (std::filesystem::temp_directory_path() / "vesk-bench-dicom").string();

// A CT-like frame: smooth structures and noise, coded by dcmcjpeg.
void MakeFile() {
  std::filesystem::create_directories(kDir);
  const std::string script =
      "import numpy as np\n"
      "from pydicom.dataset import Dataset, FileMetaDataset\n"
      "from pydicom.uid import ExplicitVRLittleEndian\n"
      "y, x = np.mgrid[0:3072, 0:3072]\n"
      "rng = np.random.default_rng(1)\n"
      "v = 2048 + 1500 * np.sin(x / 300.0) * np.cos(y / 200.0) + rng.normal(0, 20, x.shape)\n"
      "m = FileMetaDataset(); m.MediaStorageSOPClassUID = '1.2.840.10008.5.1.4.1.1.7'\n"
      "m.MediaStorageSOPInstanceUID = '1.2.3'; m.TransferSyntaxUID = ExplicitVRLittleEndian\n"
      "d = Dataset(); d.file_meta = m; d.preamble = b'\\0' * 128; d.is_little_endian = True\n"
      "d.is_implicit_VR = False; d.SOPClassUID = m.MediaStorageSOPClassUID; d.SOPInstanceUID = '1.2.3'\n"
      "d.SamplesPerPixel = 1; d.PhotometricInterpretation = 'MONOCHROME2'; d.Rows = d.Columns = 3072\n"
      "d.BitsAllocated = 16; d.BitsStored = 12; d.HighBit = 11; d.PixelRepresentation = 0\n"
      "d.PixelData = np.clip(v, 0, 4095).astype('<u2').tobytes()\n"
      "d.save_as('" + kDir + "/native.dcm', write_like_original=False)\n";
  const std::string py = kDir + "/make.py";
  FILE* f = std::fopen(py.c_str(), "w");
  std::fputs(script.c_str(), f);
  std::fclose(f);
  if (std::system(("/usr/bin/python3 " + py + " && dcmcjpeg +e1 " + kDir + "/native.dcm " + kDir + "/lossless.dcm")
                      .c_str()) != 0)
    std::abort();
}

void BM_Lossless12Bit(benchmark::State& state) {
  IELibraryInitialize();
  IEInitializeImageryIO();
  MakeFile();
  const std::string file = kDir + "/lossless.dcm";
  TMemoryStream stream;
  stream.LoadFromFile(file);
  auto ours = [&] {
    std::atomic<bool> abort{false};
    TIEProgressRecord progress;
    progress.Aborting = &abort;
    TIOParamsVals params(nullptr);
    params.DICOMRangeMode = 2;
    TIEBitmap bitmap;
    stream.SetPosition(0);
    IEReadDICOMStream(stream, params, &bitmap, false, progress);
    if (abort) std::abort();
  };
  const std::string peer = "dcmdjpeg " + file + " " + kDir + "/decoded.dcm";
  bench::Rounds(state, {{"ours", ours}, {"dcmdjpeg", [&] {
                          if (std::system(peer.c_str()) != 0) std::abort();
                        }}},
                {.MinRounds = 7, .MinSeconds = 2.0, .WithChildren = true});
  std::filesystem::remove_all(kDir);
  IEFinalizeImageryIO();
  IELibraryFinalize();
}

}  // namespace

BENCHMARK(BM_Lossless12Bit)->Iterations(1)->Unit(benchmark::kMillisecond);
