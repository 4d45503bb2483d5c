#include <gtest/gtest.h>

#include "imaging/io/imageryio.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::IOTest;

class Params : public IOTest {};

TEST_F(Params, SharedIndexCountAndOrientation) {
  TIOParamsVals p(nullptr);
  p.SetImageIndex(3);
  for (int32_t v : {p.IMAGEINDEX, p.TIFF_IMAGEINDEX, p.DCX_IMAGEINDEX, p.GIF_IMAGEINDEX, p.ICO_IMAGEINDEX,
                    p.CUR_IMAGEINDEX})
    EXPECT_EQ(v, 3);
  p.SetImageCount(7);
  for (int32_t v : {p.IMAGECOUNT, p.TIFF_IMAGECOUNT, p.AVI_FRAMECOUNT, p.GIF_IMAGECOUNT, p.MEDIAFILE_FRAMECOUNT})
    EXPECT_EQ(v, 7);
  p.SetEXIF_Orientation(6);
  EXPECT_EQ(p.TIFF_ORIENTATION, 6);
  p.DPIX = 17;
  p.SetDefaultParams();  // without owner the size and resolution stay
  EXPECT_EQ(p.DPIX, 17);
  EXPECT_EQ(p.TIFF_ORIENTATION, 1);
}

TEST_F(Params, ResetForLoadDropsWhatThePreviousFileCarried) {
  TIOParamsVals p(nullptr);
  p.JPEG_QUALITY = 55;
  p.TIFF_COMPRESSION = 5;
  p.FILENAME = "a.tif";
  p.TIFF_PAGENAME = "page";
  p.XMP_INFO = "<x:xmpmeta/>";
  p.TIFFImageResources = {1, 2, 3};
  p.TIFFImageSourceData = {4};
  p.GIF_TRANSPARENT = true;
  p.GIF_TRANSPCOLOR = TRGB{1, 2, 3};
  p.SetEXIF_FNumber(2.8);
  p.GetInputICCProfile();
  p.ResetForLoad();
  EXPECT_EQ(p.JPEG_QUALITY, 55);
  EXPECT_EQ(p.TIFF_COMPRESSION, 5);
  EXPECT_EQ(p.FILENAME, "a.tif");
  EXPECT_EQ(p.TIFF_PAGENAME, "");
  EXPECT_EQ(p.XMP_INFO, "");
  EXPECT_TRUE(p.TIFFImageResources.empty());
  EXPECT_TRUE(p.TIFFImageSourceData.empty());
  EXPECT_FALSE(p.GIF_TRANSPARENT);
  EXPECT_EQ(p.GIF_TRANSPCOLOR, TRGB{});
  EXPECT_EQ(p.EXIF_FNUMBER, -1);
  EXPECT_TRUE(p.EXIFTagsPresent.empty());
  EXPECT_EQ(p.InputICCProfileOrNull(), nullptr);
}

TEST_F(Params, AssignCopiesValuesAndOwnedData) {
  TIOParamsVals source(nullptr), dest(nullptr);
  source.ColorMap.assign(256, TRGB{1, 2, 3});
  source.CUR_IMAGEINDEX = 4;
  source.TIFF_IMAGEINDEX = 2;
  source.TIFFIsBigTIFF = true;
  source.EXIF_MAKE = "maker";
  source.SetEXIF_GPSLatitude(-10.5);
  source.EXIFThumbnail = std::make_unique<TIEBitmap>(4, 3, ie24RGB);
  source.SetDICOMCompression(6);
  dest.Assign(source);
  EXPECT_EQ(dest.COLORMAPCOUNT(), 256);
  source.ColorMap[0] = TRGB{};
  EXPECT_EQ(dest.ColorMap[0], (TRGB{1, 2, 3}));  // its own copy
  EXPECT_EQ(dest.IMAGEINDEX, 4);                // the cursor index is set last
  EXPECT_TRUE(dest.TIFFIsBigTIFF);
  EXPECT_EQ(dest.EXIF_MAKE, "maker");
  EXPECT_DOUBLE_EQ(dest.GetEXIF_GPSLatitude(), -10.5);
  ASSERT_NE(dest.EXIFThumbnail, nullptr);
  EXPECT_NE(dest.EXIFThumbnail.get(), source.EXIFThumbnail.get());
  EXPECT_EQ(dest.EXIFThumbnail->GetWidth(), 4);
  EXPECT_EQ(dest.GetDICOMCompression(), 6);
}

TEST_F(Params, EXIFSettersKeepThePresentTags) {
  TIOParamsVals p(nullptr);
  p.SetEXIF_FNumber(2.8);
  p.SetEXIF_FNumber(2.8);
  EXPECT_EQ(p.EXIFTagsPresent, std::vector<int32_t>{0x829D});
  p.SetEXIF_FNumber(-1);
  EXPECT_TRUE(p.EXIFTagsPresent.empty());
  p.SetEXIF_BrightnessValue(-1);  // its absent value is -1000
  EXPECT_TRUE(p.IsEXIFTagPresent(0x9203));
  p.SetEXIF_XResolution(72.5);
  EXPECT_EQ(p.EXIF_XRESOLUTION, 72.5);
  EXPECT_EQ(p.DPIX, 72);
}

TEST_F(Params, IndexedEXIFValuesStayInsideTheirArrays) {
  TIOParamsVals p(nullptr);
  p.SetEXIF_ISOSpeedRatings(1, 400);
  p.SetEXIF_ISOSpeedRatings(2, 800);   // outside: nothing written
  p.SetEXIF_ReferenceBlackWhite(-1, 5);
  p.SetEXIF_WhitePoint(99, 5);
  EXPECT_EQ(p.GetEXIF_ISOSpeedRatings(1), 400);
  EXPECT_EQ(p.GetEXIF_ISOSpeedRatings(2), 0);
  EXPECT_EQ(p.GetEXIF_ISOSpeedRatings(-7), 0);
  EXPECT_EQ(p.GetEXIF_PrimaryChromaticities(6), 0);
  EXPECT_EQ(p.GetEXIF_ReferenceBlackWhite(5), -1);
}

TEST_F(Params, GPSCoordinatesAndDICOMChoice) {
  TIOParamsVals p(nullptr);
  p.EXIF_GPSLATITUDEREF = "S";
  p.EXIF_GPSLATITUDEDEGREES = 10;
  p.EXIF_GPSLATITUDEMINUTES = 30;
  EXPECT_DOUBLE_EQ(p.GetEXIF_GPSLatitude(), -10.5);
  p.SetEXIF_GPSLongitude(12.75);
  EXPECT_EQ(p.EXIF_GPSLONGITUDEREF, "E");
  EXPECT_EQ(p.EXIF_GPSLONGITUDEDEGREES, 12);
  EXPECT_EQ(p.EXIF_GPSLONGITUDEMINUTES, 45);
  p.EXIF_GPSLATITUDEMINUTES = 90;  // out of range until normalised
  IENormalizeGPSCoordinates(p);
  EXPECT_EQ(p.EXIF_GPSLATITUDEDEGREES, 11);
  EXPECT_NEAR(p.EXIF_GPSLATITUDEMINUTES, 30, 1e-9);
  // The compression choice is the transfer syntax element of the tag store.
  p.SetDICOMCompression(6);
  std::string uid;
  p.DICOMTags.GetTagString(0x0002, 0x0010, uid);
  EXPECT_EQ(uid, "1.2.840.10008.1.2.4.50");
  p.DICOMTags.SetTagString(0x0002, 0x0010, " 1.2.3 ");
  EXPECT_EQ(p.GetDICOMCompression(), 1);
  p.SetDICOMCompression(10);
  p.DICOMTags.GetTagString(0x0002, 0x0010, uid);
  EXPECT_EQ(uid, "");
  p.FILETYPE = 2;
  p.GIF_DELAYTIME = 7;
  EXPECT_EQ(p.GetImageDelayTime(), 70);
  // DICOM: the cine rate, else the recommended display rate, else the frame time.
  p.FILETYPE = 28;
  p.DICOMTags.SetTagString(0x0018, 0x1063, "33.3");
  EXPECT_EQ(p.GetImageDelayTime(), 33);
  p.DICOMTags.SetTagString(0x0008, 0x2144, "8");
  EXPECT_EQ(p.GetImageDelayTime(), 125);
  p.DICOMTags.SetTagString(0x0018, 0x0040, "25");
  EXPECT_EQ(p.GetImageDelayTime(), 40);
  p.ResetForLoad();
  EXPECT_EQ(p.DICOMTags.Count(), 0);
}

TEST_F(Params, XMPTextIsParsedIntoTheMetadata) {
  TIOParamsVals p(nullptr);
  const std::string packet =
      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF><rdf:Description dc:format=\"image/jpeg\"/>"
      "</rdf:RDF></x:xmpmeta>";
  p.SetXMP_Info(packet);
  EXPECT_EQ(p.XMP_INFO, packet);
  ASSERT_TRUE(p.Metadata.Exists("XMP"));
  EXPECT_TRUE(p.Metadata.Exists("dc:format", true));
  // An empty text leaves the parse of the earlier one; a load clears the
  // text, the metadata stays until the defaults are set.
  p.SetXMP_Info("");
  EXPECT_TRUE(p.Metadata.Exists("XMP"));
  p.ResetForLoad();
  EXPECT_EQ(p.XMP_INFO, "");
  EXPECT_TRUE(p.Metadata.Exists("XMP"));
  TIOParamsVals copy(nullptr);
  copy.Assign(p);
  EXPECT_TRUE(copy.Metadata.Exists("dc:format", true));
  p.SetDefaultParams();
  EXPECT_TRUE(p.Metadata.IsEmpty());
}

}  // namespace

namespace {

TEST_F(Params, ResetEXIFDropsOnlyTheFirstEXIFBlock) {
  TIOParamsVals p(nullptr);
  const char exif[] = "Exif\0\0data";
  const char xmp[] = "http://ns.adobe.com/xap/1.0/";
  p.JPEGMarkers.AddMarker(IE_JPEG_APP1, xmp, sizeof xmp);
  p.JPEGMarkers.AddMarker(IE_JPEG_APP1, exif, sizeof exif);
  p.JPEGMarkers.AddMarker(IE_JPEG_APP1, exif, sizeof exif);
  p.ResetEXIF();
  ASSERT_EQ(p.JPEGMarkers.GetCount(), 2);
  EXPECT_EQ(p.JPEGMarkers.GetMarkerLength(0), static_cast<int32_t>(sizeof xmp));

  TIOParamsVals copy(nullptr);
  p.IPTC.AddItem(2, 5, 3, "abc");
  copy.Assign(p);
  EXPECT_EQ(copy.JPEGMarkers.GetCount(), 2);
  EXPECT_EQ(copy.IPTC.GetCount(), 1);
  copy.ResetForLoad();  // nothing of the previous file stays
  EXPECT_EQ(copy.JPEGMarkers.GetCount(), 0);
  EXPECT_EQ(copy.IPTC.GetCount(), 0);
}

}  // namespace
