// The parameters preview dialog's live editing and its result: change
// handlers, swatches, scheduling and the encoded result; see iopreviews.h.
#include <algorithm>
#include <cmath>
#include <memory>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_containers.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/iopreviews.h"
#include "imaging/processing/imageryproc_component.h"
#include "imaging/view/imageryview.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace {

// A number field's value; `otherwise` when its text is not an integer.
int32_t FieldInt(const TEdit* edit, int32_t otherwise) {
  int32_t value = 0;
  return TryStrToInt(edit->Text(), value) ? value : otherwise;
}

// Stores `value` into `field`; true when it changed.
template <class T, class U>
bool Store(T& field, const U& value) {
  if (field == static_cast<T>(value)) return false;
  field = static_cast<T>(value);
  return true;
}

// The hourglass while the result is computed.
class BusyCursor {
public:
  BusyCursor() : saved_(Screen->Cursor()) { Screen->SetCursor(crHourGlass); }
  ~BusyCursor() { Screen->SetCursor(saved_); }

private:
  TCursor saved_;
};

constexpr const char* kNoResult = "Result cannot be shown but parameters may be entered";


}  // namespace

TIEBitmap* TfIOPreviews::SourceBitmap() { return ienSource->GetIEBitmap(); }

// ---- result ----------------------------------------------------------------------------

void TfIOPreviews::SetSizeLabels(TTabSheet* page, int64_t size) {
  // The two pages of a format show the same size.
  const std::pair<TTabSheet*, TTabSheet*> twins[] = {
      {TabSheetJPEG1, TabSheetJPEG2}, {TabSheetTIFF1, TabSheetTIFF2}, {TabSheetGIF1, TabSheetGIF2}};
  const std::string text = IEBytesToStr(size, 102400);
  for (auto [a, b] : twins)
    if (page == a || page == b) {
      CompressedSizeLabel(a)->SetCaption(text);
      CompressedSizeLabel(b)->SetCaption(text);
      return;
    }
  if (TLabel* label = CompressedSizeLabel(page)) label->SetCaption(text);
}

void TfIOPreviews::TakeResultImage() {
  try {
    ienPreview->AssignImage(ienSource);
  } catch (const std::exception&) {
    SetCaption(kNoResult);
  }
}

void TfIOPreviews::ReduceResultColours(bool withPalette) {
  TIOParamsVals& preview = ienPreview->GetIO()->Params();
  preview.Assign(ienSource->GetIO()->Params());
  const uint32_t n = IEColorsFromBits(preview.BITSPERSAMPLE, preview.SAMPLESPERPIXEL);
  if (n > 256) {
    preview.ColorMap.clear();
    return;
  }
  TImageryProc* proc = ienPreview->GetProc();
  if (!withPalette) {
    preview.ColorMap.clear();
    return proc->ConvertTo(static_cast<int32_t>(n), BilevelMethod);
  }
  preview.ColorMap.assign(n, TRGB{});
  proc->ConvertToPalette(static_cast<int32_t>(n), preview.ColorMap.data(), BilevelMethod);
}

void TfIOPreviews::FollowSourceView() {
  ienPreview->BeginPaintLock();
  ienPreview->SetZoom(ienSource->Zoom());
  ienPreview->SetViewXY(ienSource->ViewX(), ienSource->ViewY());
  ienPreview->EndPaintLock();
}

void TfIOPreviews::ComputeResult() {
  if (!activated_) return;
  BusyCursor busy;
  TMemoryStream memory;
  TNulStream counter;
  TImageryIO* io = ienSource->GetIO();
  io->SetBilevelMethod(BilevelMethod);
  progressOffset_ = 0;
  TIOParamsVals& p = io->Params();
  const TIOPreviewsValues& v = values_;
  TTabSheet* page = PageControl1->ActivePage();
  const auto finish = [this] {
    pbrPreview->SetPosition(0);
    pbrPreview->SetVisible(false);
    FollowSourceView();
  };
  try {
    if (page == TabSheetJPEG1 || page == TabSheetJPEG2) {
      progressDivisor_ = 2;
      p.JPEG_QUALITY = v.Quality;
      p.JPEG_COLORSPACE = v.JpegColorSpace;
      p.JPEG_DCTMETHOD = v.DctMethod;
      p.JPEG_OPTIMALHUFFMAN = v.OptimalHuffman;
      p.JPEG_SMOOTH = v.Smooth;
      p.JPEG_PROGRESSIVE = v.Progressive;
      io->SaveToStreamJPEG(memory);
      SetSizeLabels(page, memory.Size());
      memory.SetPosition(0);
      progressOffset_ = 50;
      ienPreview->GetIO()->LoadFromStreamJPEG(memory);
    } else if (page == TabSheetJ20001) {
      progressDivisor_ = 2;
      p.J2000_RATE = v.Rate;
      p.J2000_COLORSPACE = v.J2000ColorSpace;
      p.BITSPERSAMPLE = 8;
      p.SAMPLESPERPIXEL = 3;
      const TIECodecEntry* codec = IEFindCodec(14);
      if (codec && codec->Write && codec->Read) {
        io->SaveToStreamCodec(*codec, memory);
        SetSizeLabels(page, memory.Size());
        memory.SetPosition(0);
        progressOffset_ = 50;
        ienPreview->GetIO()->LoadFromStreamCodec(*codec, memory);
      } else {
        SetCaption(kNoResult);
      }
    } else if (page == TabSheetTIFF1 || page == TabSheetTIFF2) {
      progressDivisor_ = 1;
      p.TIFFLZWDecoder = v.TIFFLZWDecoder;
      p.TIFFLZWEncoder = v.TIFFLZWEncoder;
      p.TIFF_COMPRESSION = v.TiffCompression;
      p.TIFF_PHOTOMETINTEPRET = v.Photometric;
      p.SAMPLESPERPIXEL = v.SamplesPerPixel;
      p.BITSPERSAMPLE = v.BitsPerSample;
      io->SaveToStreamTIFF(counter);
      SetSizeLabels(page, counter.Size());
      TakeResultImage();
      TIOParamsVals& preview = ienPreview->GetIO()->Params();
      preview.Assign(p);
      if (v.Photometric <= 1 && v.BitsPerSample == 8 && v.SamplesPerPixel == 1) {
        ienPreview->GetProc()->ConvertToGray();
        preview.ColorMap.clear();
      } else if (v.Photometric < 5) {
        ReduceResultColours(true);
      }
    } else if (page == TabSheetGIF1 || page == TabSheetGIF2) {
      progressDivisor_ = 1;
      p.BITSPERSAMPLE = v.GifBits;
      p.SAMPLESPERPIXEL = 1;
      p.GIF_INTERLACED = v.GifInterlaced;
      io->SaveToStreamGIF(counter);
      SetSizeLabels(page, counter.Size());
      TakeResultImage();
      ReduceResultColours(true);
    } else if (page == TabSheetBMP1 || page == TabSheetPCX1) {
      progressDivisor_ = 1;
      const bool bmp = page == TabSheetBMP1;
      const TIOPreviewsValues::TLayout c = v.ColoursLayout(bmp ? 5 : 4);
      p.BITSPERSAMPLE = c.Bits;
      p.SAMPLESPERPIXEL = c.Samples;
      if (bmp) {
        p.BMP_COMPRESSION = v.BmpCompression;
        io->SaveToStreamBMP(counter);
      } else {
        p.PCX_COMPRESSION = v.PcxCompression;
        io->SaveToStreamPCX(counter);
      }
      SetSizeLabels(page, counter.Size());
      TakeResultImage();
      ReduceResultColours(false);
    } else if (page == TabSheetPNG1 || page == TabSheetTGA1) {
      progressDivisor_ = 1;
      const bool png = page == TabSheetPNG1;
      const TIOPreviewsValues::TLayout c = v.ColoursLayout(png ? 8 : 11);
      p.BITSPERSAMPLE = c.Bits;
      p.SAMPLESPERPIXEL = c.Samples;
      if (png) {
        p.PNG_INTERLACED = v.PngInterlaced;
        p.PNG_FILTER = v.PngFilter;
        p.PNG_COMPRESSION = v.PngCompression;
        io->SaveToStreamPNG(counter);
      } else {
        p.TGA_COMPRESSED = v.TgaCompressed;
        io->SaveToStreamTGA(counter);
      }
      SetSizeLabels(page, counter.Size());
      TakeResultImage();
      ReduceResultColours(true);
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TfIOPreviews::SchedulePreview() {
  if (!chkLockPreview->Checked()) return;
  tmrApplyAct->SetEnabled(false);
  tmrApplyAct->SetEnabled(true);
}

void TfIOPreviews::tmrApplyActTimer(TObject*) {
  tmrApplyAct->SetEnabled(false);
  ComputeResult();
  ienPreview->Invalidate();
}

void TfIOPreviews::chkLockPreviewClick(TObject*) {
  if (chkLockPreview->Checked()) ComputeResult();
  btnPreview->SetVisible(!chkLockPreview->Checked());
  btnPreview->SetEnabled(!chkLockPreview->Checked());
}

void TfIOPreviews::btnPreviewClick(TObject*) { ComputeResult(); }

void TfIOPreviews::PageControl1Changing(TObject*, bool&) { editing_ = false; }

void TfIOPreviews::PageControl1Change(TObject*) {
  editing_ = true;
  LoadWorkingValues();
  ShowWorkingValues();
  if (chkLockPreview->Checked()) ComputeResult();
  btnApply->SetEnabled(false);
}

void TfIOPreviews::ienSourceViewChange(TObject*, int32_t) { FollowSourceView(); }

void TfIOPreviews::ienSourceProgress(TObject*, int32_t percent) {
  pbrPreview->SetPosition(percent / std::max(progressDivisor_, 1) + progressOffset_);
  pbrPreview->SetVisible(true);
}

// ---- change handlers ----------------------------------------------------------------------

void TfIOPreviews::ValueChanged() {
  btnApply->SetEnabled(true);
  SchedulePreview();
}

void TfIOPreviews::TrackBar13Change(TObject*) {
  if (!editing_) return;
  TIOPreviewsValues& v = values_;
  const int32_t smooth = FieldInt(Edit23, 0);
  bool changed = Store(v.Quality, TrackBar13->Position());
  changed |= Store(v.JpegColorSpace, std::max(ComboBox13->ItemIndex(), 0));
  changed |= Store(v.DctMethod, std::max(ComboBox1->ItemIndex(), 0));
  changed |= Store(v.OptimalHuffman, CheckBox2->Checked());
  changed |= Store(v.Smooth, smooth);
  changed |= Store(v.Progressive, CheckBox3->Checked());
  if (!changed) return;
  editing_ = false;
  Edit22->SetText(IntToStr(v.Quality));
  editing_ = true;
  ValueChanged();
}

void TfIOPreviews::Edit22Change(TObject* sender) {
  if (!editing_) return;
  const int32_t quality = std::clamp(FieldInt(Edit22, 50), 0, 100);
  if (quality == values_.Quality && FieldInt(Edit23, 0) == values_.Smooth) return;
  editing_ = false;
  TrackBar13->SetPosition(quality);
  editing_ = true;
  TrackBar13Change(sender);
}

void TfIOPreviews::Edit16Change(TObject* sender) {
  if (!editing_) return;
  const int32_t quality = std::clamp(FieldInt(Edit16, 50), 0, 100);
  if (quality == values_.Quality) return;
  editing_ = false;
  TrackBar2->SetPosition(quality);
  editing_ = true;
  TrackBar2Change(sender);
}

void TfIOPreviews::TrackBar2Change(TObject*) {
  if (!editing_ || !Store(values_.Quality, TrackBar2->Position())) return;
  editing_ = false;
  Edit16->SetText(IntToStr(values_.Quality));
  editing_ = true;
  ValueChanged();
}

void TfIOPreviews::Edit15Change(TObject* sender) {
  if (!editing_) return;
  const double rate = FieldInt(Edit15, 1000) / 1000.0;
  if (rate == values_.Rate) return;
  editing_ = false;
  TrackBar1->SetPosition(static_cast<int32_t>(std::trunc(rate * 1000)));
  editing_ = true;
  TrackBar1Change(sender);
}

void TfIOPreviews::TrackBar1Change(TObject*) {
  if (!editing_) return;
  TIOPreviewsValues& v = values_;
  const uint8_t space = static_cast<uint8_t>(std::max(ComboBox15->ItemIndex(), 0));
  if (TrackBar1->Position() == std::lround(v.Rate * 1000) && space == v.J2000ColorSpace) return;
  v.Rate = TrackBar1->Position() / 1000.0;
  v.J2000ColorSpace = space;
  editing_ = false;
  Edit15->SetText(IntToStr(static_cast<int32_t>(std::lround(v.Rate * 1000))));
  editing_ = true;
  ValueChanged();
}

void TfIOPreviews::ReadTiffEdits() {
  TIOPreviewsValues& v = values_;
  v.ImageIndex = FieldInt(Edit1, 0);
  v.XPos = FieldInt(Edit2, 0);
  v.YPos = FieldInt(Edit3, 0);
  v.DocumentName = Edit4->Text();
  v.Description = Edit5->Text();
  v.PageName = Edit6->Text();
  v.PageNumber = FieldInt(Edit7, 0);
  v.PageCount = FieldInt(Edit8, 0);
}

void TfIOPreviews::ComboBox2Click(TObject* sender) {
  if (!editing_) return;
  editing_ = false;
  const int32_t photometric = ComboBox3->ItemIndex(), colours = ComboBox4->ItemIndex();
  if (sender == ComboBox3) {
    if ((photometric == 0 || photometric == 1) && colours != 0) ComboBox4->SetItemIndex(2);
    else if (photometric == 2 || (photometric >= 5 && photometric <= 7)) ComboBox4->SetItemIndex(4);
    else if (photometric == 3) ComboBox4->SetItemIndex(2);
  } else if (sender == ComboBox4) {
    if (colours == 0) ComboBox3->SetItemIndex(std::min(photometric, 1));
    else if (colours == 1) ComboBox3->SetItemIndex(3);
    else if (colours == 2) ComboBox3->SetItemIndex(photometric == 2 ? 3 : std::min(photometric, 3));
  }
  editing_ = true;
  TIOPreviewsValues& v = values_;
  v.TiffCompression = static_cast<uint8_t>(IEIndexToTIFFCompression(ComboBox2->ItemIndex()));
  v.Photometric = static_cast<uint8_t>(std::max(ComboBox3->ItemIndex(), 0));
  static constexpr int32_t kTiffColours[][2] = {{1, 1}, {1, 4}, {1, 8}, {1, 16}, {3, 8}};
  if (v.Photometric == 5) {
    v.SamplesPerPixel = 4;
    v.BitsPerSample = 8;
  } else {
    const auto& c = kTiffColours[std::clamp(ComboBox4->ItemIndex(), 0, 4)];
    v.SamplesPerPixel = c[0];
    v.BitsPerSample = c[1];
  }
  ReadTiffEdits();
  ValueChanged();
}

void TfIOPreviews::ComboBox16Change(TObject* sender) {
  if (!editing_) return;
  TIOPreviewsValues& v = values_;
  editing_ = false;
  if (sender == ComboBox16) {
    v.TiffCompression = static_cast<uint8_t>(IEIndexToTIFFCompression(ComboBox16->ItemIndex()));
    if (v.TiffCompression >= 1 && v.TiffCompression <= 4) {
      ComboBox17->SetItemIndex(0);
      v.Photometric = 1;
    } else if (v.TiffCompression == 7) {
      ComboBox17->SetItemIndex(3);
      v.Photometric = 6;
    }
  }
  static constexpr int32_t kColours[][2] = {{1, 1}, {1, 4}, {1, 8}, {3, 8}};
  const auto& c = kColours[std::clamp(ComboBox17->ItemIndex(), 0, 3)];
  v.SamplesPerPixel = c[0];
  v.BitsPerSample = c[1];
  if (v.BitsPerSample > 1 && v.TiffCompression >= 1 && v.TiffCompression <= 4) v.TiffCompression = 0;
  if (v.TiffCompression == 7 && (v.BitsPerSample != 8 || v.SamplesPerPixel != 3)) v.TiffCompression = 0;
  ComboBox16->SetItemIndex(IETIFFCompressionToIndex(v.TiffCompression));
  editing_ = true;
  ValueChanged();
}

void TfIOPreviews::ComboBox5Click(TObject*) {
  if (!editing_) return;
  TIOPreviewsValues& v = values_;
  v.GifBits = std::max(ComboBox5->ItemIndex(), 0) + 1;
  v.GifImageIndex = FieldInt(Edit9, 0);
  v.GifXPos = FieldInt(Edit10, 0);
  v.GifYPos = FieldInt(Edit11, 0);
  v.GifDelay = FieldInt(Edit12, 0);
  v.GifTransparent = CheckBox4->Checked();
  Label("Label34")->SetEnabled(v.GifTransparent);
  Panel3->SetEnabled(v.GifTransparent);
  v.GifInterlaced = CheckBox5->Checked();
  ValueChanged();
}

void TfIOPreviews::ComboBox18Change(TObject*) {
  if (!editing_) return;
  values_.GifBits = std::max(ComboBox18->ItemIndex(), 0) + 1;
  ValueChanged();
}

void TfIOPreviews::ComboBox6Change(TObject*) {
  if (!editing_) return;
  values_.BmpColors = std::max(ComboBox7->ItemIndex(), 0);
  values_.BmpCompression = ComboBox6->ItemIndex() > 0 ? 1 : 0;
  ValueChanged();
}

void TfIOPreviews::ComboBox8Change(TObject*) {
  if (!editing_) return;
  values_.PcxColors = std::max(ComboBox9->ItemIndex(), 0);
  values_.PcxCompression = ComboBox8->ItemIndex() > 0 ? 1 : 0;
  ValueChanged();
}

void TfIOPreviews::ComboBox10Change(TObject*) {
  if (!editing_) return;
  TIOPreviewsValues& v = values_;
  v.PngColors = std::max(ComboBox10->ItemIndex(), 0);
  v.PngInterlaced = CheckBox6->Checked();
  v.PngFilter = static_cast<uint8_t>(std::max(ComboBox11->ItemIndex(), 0));
  v.PngCompression = std::max(ComboBox12->ItemIndex(), 0);
  ValueChanged();
}

void TfIOPreviews::ComboBox14Click(TObject*) {
  if (!editing_) return;
  TIOPreviewsValues& v = values_;
  v.TgaColors = std::max(ComboBox14->ItemIndex(), 0);
  v.TgaCompressed = CheckBox1->Checked();
  v.TgaImageName = Edit13->Text();
  v.TgaDescriptor = Edit14->Text();
  ValueChanged();
}

// ---- swatches -------------------------------------------------------------------------------

void TfIOPreviews::PickSwatchColour(TPanel* swatch, TRGB& colour, int32_t entries, bool makeMap,
                                    bool colourDialogOtherwise) {
  std::vector<TRGB>& map = ienPreview->GetIO()->Params().ColorMap;
  if (map.empty() && makeMap) ComputeResult();
  TColor chosen = swatch->Color();
  bool picked = false;
  if (!map.empty()) {
    // Never more entries than the map holds.
    const int32_t count = std::clamp(entries, 0, static_cast<int32_t>(map.size()));
    picked = IEPreviewsPalettePicker && IEPreviewsPalettePicker(map.data(), count, cancelCaption_, chosen);
  } else if (colourDialogOtherwise) {
    picked = IEPromptForColor(chosen);
  }
  if (picked) swatch->SetColor(chosen);
  IEColorToRGB(swatch->Color(), colour);
}

void TfIOPreviews::Panel3Click(TObject*) {
  PickSwatchColour(Panel3, values_.GifTranspColor, 1 << std::clamp(values_.GifBits, 1, 8), true, false);
}

void TfIOPreviews::Panel4Click(TObject*) {
  PickSwatchColour(Panel4, values_.GifBackground, 1 << std::clamp(values_.GifBits, 1, 8), true, false);
}

void TfIOPreviews::Panel1Click(TObject*) {
  const TIOParamsVals& preview = ienPreview->GetIO()->Params();
  PickSwatchColour(Panel1, values_.PngBackground,
                   static_cast<int32_t>(std::min<uint32_t>(
                       IEColorsFromBits(preview.BITSPERSAMPLE, preview.SAMPLESPERPIXEL), 256)),
                   false, true);
}

void TfIOPreviews::Panel5Click(TObject*) {
  const TIOParamsVals& preview = ienPreview->GetIO()->Params();
  PickSwatchColour(Panel5, values_.TgaBackground,
                   static_cast<int32_t>(std::min<uint32_t>(
                       IEColorsFromBits(preview.BITSPERSAMPLE, preview.SAMPLESPERPIXEL), 256)),
                   false, true);
}
