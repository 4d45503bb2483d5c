#include <gtest/gtest.h>

#include <cstring>

#include "imaging/core/ruduvazez_icc.h"
#include "imaging/io/imageryio.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::IOTest;

class ParamStream : public IOTest {
protected:
  // A set with a value changed in every kind of stored item.
  static void Fill(TIOParamsVals& p) {
    p.FILENAME = "dir/name.tif";
    p.FILETYPE = 8;
    p.WIDTH = 640, p.HEIGHT = 480;
    p.ColorMap.assign(3, TRGB{1, 2, 3});
    p.SetImageIndex(2);
    p.TIFF_PAGENAME = "page";
    p.TIFFImageResources = {1, 2, 3};
    p.TIFFImageSourceData = {9};
    p.TIFFIsBigTIFF = true;
    p.GIFComments = {"one", "two"};
    p.GIF_TRANSPCOLOR = TRGB{4, 5, 6};
    p.JPEG_QUALITY = 33;
    p.JPEGMarkers.AddMarker(0xE1, "abc", 3);
    p.J2000_RATE = 0.5;
    p.ICOSizes[3] = TIEIconSize{32, 16};
    p.ICOBitCounts[3] = 24;
    p.PNGTextKeys = {"k"};
    p.PNGTextValues = {"v"};
    p.SetDICOMCompression(8);
    p.DICOMTags.SetTagString(0x0010, 0x0010, "Doe^John");
    p.Metadata.InsertString("note", "a \"quoted\" \\ text");
    p.SetXMP_Info("<x:xmpmeta><rdf:Description dc:format=\"image/png\"/></x:xmpmeta>");
    p.DICOMRescaleSlope = 2.5;
    p.PSDLayerName = "layer";
    p.TGA_DATE = 45000;
    p.IPTC.AddItem(2, 120, 4, "text");
    p.PXMComments = {"c"};
    p.AVI_FRAMEDELAYTIME = 40.5;
    p.PDF_PRODUCER = "producer";
    p.DCX_IMAGEINDEX = 5;
    p.Annotations.SetObjects({7, 8});
    p.RAW_EXTRAPARAMS = "-e";
    p.BMPRAW_DATAFORMAT = 3;
    p.MEDIAFILE_FRAMEDELAYTIME = 12.25;
    p.EXIF_HASEXIF = true;
    p.EXIF_MAKE = "camera";
    p.SetEXIF_FNumber(2.8);
    p.SetEXIF_ExposureBiasValue(-0.5);
    p.EXIF_USERCOMMENT = "comment";
    p.EXIF_GPSVERSIONID = "2.2.0.0";
    p.SetEXIF_GPSLatitude(-10.5);
  }
  // Every key's text plus what keys do not reach.
  static std::string Describe(TIOParamsVals& p) {
    std::string text;
    for (const char* key : {"FILENAME", "FILETYPE", "WIDTH", "HEIGHT", "DPIX", "IMAGEINDEX", "TIFF_PAGENAME",
                            "GIF_TRANSPCOLOR", "JPEG_QUALITY", "J2000_RATE", "DCX_IMAGEINDEX", "TGA_DATE",
                            "AVI_FRAMEDELAYTIME", "PDF_PRODUCER", "RAW_EXTRAPARAMS", "BMPRAW_DATAFORMAT",
                            "MEDIAFILE_FRAMEDELAYTIME", "COLORMAPCOUNT", "COLORMAPITEM2"})
      text += std::string(key) + "=" + p.GetByName(key) + ";";
    text += std::to_string(p.TIFFImageResources.size()) + std::to_string(p.TIFFImageSourceData.size()) +
            std::to_string(p.TIFFIsBigTIFF) + std::to_string(p.GIFComments.size()) +
            std::to_string(p.JPEGMarkers.GetCount()) + std::to_string(p.ICOSizes[3].Height) +
            std::to_string(p.ICOBitCounts[3]) + std::to_string(p.PNGTextValues.size()) +
            std::to_string(p.GetDICOMCompression()) + std::to_string(p.DICOMRescaleSlope) + p.PSDLayerName +
            std::to_string(p.IPTC.GetCount()) + std::to_string(p.PXMComments.size()) +
            std::to_string(p.Annotations.Objects().size());
    std::string name, metadata;
    p.DICOMTags.GetTagString(0x0010, 0x0010, name);
    p.Metadata.DumpJSON(metadata);
    return text + std::to_string(p.DICOMTags.Count()) + name + metadata;
  }
};

TEST_F(ParamStream, SavedSetsLoadBackEqual) {
  TIOParamsVals source(nullptr), dest(nullptr);
  Fill(source);
  TMemoryStream stream;
  source.SaveToStream(stream);
  stream.SetPosition(0);
  dest.ISNATIVEPIXELFORMAT = true;
  dest.LoadFromStream(stream);
  EXPECT_EQ(Describe(dest), Describe(source));
  // The EXIF values came through the embedded TIFF.
  EXPECT_EQ(dest.EXIF_MAKE, "camera");
  EXPECT_EQ(dest.EXIF_USERCOMMENT, "comment");
  EXPECT_EQ(dest.EXIFTagsPresent, source.EXIFTagsPresent);
  EXPECT_NEAR(dest.GetEXIF_GPSLatitude(), -10.5, 1e-9);
  EXPECT_EQ(stream.Position(), stream.Size());
  EXPECT_TRUE(dest.ISNATIVEPIXELFORMAT);  // not stored, not touched
  EXPECT_NE(dest.TIFFLZWDecoder, nullptr);
}

TEST_F(ParamStream, EveryTruncationFailsCleanly) {
  TIOParamsVals source(nullptr);
  Fill(source);
  TMemoryStream stream;
  source.SaveToStream(stream);
  const auto* bytes = static_cast<const uint8_t*>(stream.Memory());
  for (int64_t size = 0; size < stream.Size(); ++size) {
    TIEMemStream cut(bytes, size);
    TIOParamsVals dest(nullptr);
    EXPECT_THROW(dest.LoadFromStream(cut), EReadError) << size;
  }
}

TEST_F(ParamStream, CountsLargerThanTheDataFailCleanly) {
  TIOParamsVals source(nullptr);
  TMemoryStream stream;
  source.SaveToStream(stream);
  // The colour map count follows version, metadata, the embedded TIFF, file
  // name, file type and six numbers.
  int32_t metadataCount = 0, tiffSize = 0;
  stream.SetPosition(4);
  stream.ReadBuffer(&metadataCount, 4);
  const int64_t tiffAt = 8 + int64_t{metadataCount} * 2;
  stream.SetPosition(tiffAt);
  stream.ReadBuffer(&tiffSize, 4);
  const int64_t countAt = tiffAt + 4 + tiffSize + 4 + 4 + 6 * 4;
  const int32_t huge = 0x7FFFFFF0;
  stream.SetPosition(countAt);
  stream.WriteBuffer(&huge, 4);
  stream.SetPosition(0);
  TIOParamsVals dest(nullptr);
  EXPECT_THROW(dest.LoadFromStream(stream), EReadError);
  EXPECT_EQ(dest.COLORMAPCOUNT(), 0);
}

}  // namespace
