#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_dicomtags.h"
#include "platform/rtl/exceptions.h"
#include "tests/imaging/core/tiff_support.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Every element of a store, nested items indented, as one text.
std::string Describe(const TIEDicomTags& tags, const std::string& indent = "") {
  std::string out;
  for (int32_t i = 0; i < tags.Count(); ++i) {
    const TIEDicomTag* t = tags.GetTag(i);
    std::string vr, text;
    IEDicomVRToName(t->VR, vr);
    tags.GetTagStringByIndex(i, text);
    out += indent + IntToHex(t->Group, 4) + "," + IntToHex(t->Element, 4) + " " + vr + " " +
           std::to_string(t->Length) + " [" + text + "]\n";
    if (t->Items)
      for (const auto& item : *t->Items) out += indent + "item\n" + Describe(*item, indent + "  ");
  }
  return out;
}

TEST(DicomDictionary, Lookups) {
  struct Case {
    uint16_t group, element;
    int vr;  // -1: not in the dictionary
    const char* name;
  };
  const Case cases[] = {{0x7FE0, 0x0010, IE_DICOM_OW, "Pixel Data"},
                        {0x0028, 0x0106, IE_DICOM_USSS, "Smallest Image Pixel Value"},
                        {0xFFFE, 0xE00D, IE_DICOM_NONE, "Item Delimitation Item"},
                        {0xFFFE, 0xE000, IE_DICOM_NONE, "Item"},
                        {0x0002, 0x0000, IE_DICOM_UL, "File Meta Information Group Length"},
                        {0x0002, 0x0010, IE_DICOM_UI, "Transfer Syntax UID"},
                        {0x0028, 0x0010, IE_DICOM_US, "Rows"},
                        {0x0028, 0x1050, IE_DICOM_DS, "Window Center"},
                        {0x0028, 0x3110, IE_DICOM_SQ, nullptr},
                        {0xFFFF, 0xFFFF, IE_DICOM_USSS, ""},
                        {0x4321, 0x0001, -1, ""}};
  for (const Case& c : cases) {
    const TIEDicomDictEntry* entry = IELookupDICOMTag(c.group, c.element);
    SCOPED_TRACE(IntToHex(c.group, 4) + "," + IntToHex(c.element, 4));
    if (c.vr < 0) {
      EXPECT_EQ(entry, nullptr);
      continue;
    }
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->VR, c.vr);
    if (c.name) {
      EXPECT_STREQ(entry->Name, c.name);
    }
  }
  EXPECT_EQ(IELookupDICOMTag(0xFFFF, 0xFFFF)->Class, 2);
  EXPECT_EQ(IELookupDICOMTag(0x0002, 0x0000)->Class, 2);
  EXPECT_EQ(IELookupDICOMTag(0x0028, 0x0010)->Class, 0);
}

TEST(DicomDictionary, VRNames) {
  for (uint8_t code = 0; code < 28; ++code) {
    std::string name;
    IEDicomVRToName(code, name);
    EXPECT_EQ(IEDicomVRFromName(name), code) << name;
  }
  std::string name;
  IEDicomVRToName(40, name);
  EXPECT_EQ(name, "??");
  IEDicomVRToName(IE_DICOM_USSS, name);
  EXPECT_EQ(name, "??");
  EXPECT_EQ(IEDicomVRFromName("XX"), IE_DICOM_NONE);
  EXPECT_EQ(IEDicomVRFromName("us"), IE_DICOM_NONE);
}

TEST(DicomTags, ElementsStaySortedByTag) {
  TIEDicomTags tags;
  tags.AddTag(0x0010, 0x0020, IE_DICOM_LO, Bytes("ID1"), 3, nullptr);
  tags.AddTag(0x0008, 0x0060, IE_DICOM_CS, Bytes("CT"), 2, nullptr);
  tags.AddTag(0x0010, 0x0010, IE_DICOM_PN, Bytes("Doe^J"), 5, nullptr);
  EXPECT_EQ(tags.AddTag(0x0010, 0x0010, IE_DICOM_PN, Bytes("Roe^R"), 5, nullptr), 2);  // after the first
  EXPECT_EQ(tags.AddTag(0x8000, 0x0001, IE_DICOM_UN, {}, -1, nullptr), 4);               // groups compare unsigned
  EXPECT_EQ(Describe(tags),
            "0008,0060 CS 2 [CT]\n0010,0010 PN 5 [Doe^J]\n0010,0010 PN 5 [Roe^R]\n0010,0020 LO 3 [ID1]\n"
            "8000,0001 UN 0 []\n");
  tags.SetTagString(0x0010, 0x0010, "X");  // the setter keeps one
  EXPECT_EQ(tags.Count(), 4);
  tags.DeleteTag(0x0010, 0x0010, true);
  tags.DeleteTagAt(99);
  EXPECT_EQ(tags.IndexOf(0x0010, 0x0010), -1);
  EXPECT_EQ(tags.Count(), 3);
}

TEST(DicomTags, SettersChooseTheDictionaryVR) {
  TIEDicomTags tags;
  tags.SetTagString(0x0008, 0x0060, "ABC");         // CS: blank pad
  tags.SetTagString(0x0008, 0x0016, "1.2");         // UI: zero pad
  tags.SetTagNumeric(0x0028, 0x0106, -5);           // US or SS by sign
  tags.SetTagNumeric(0x0028, 0x0107, 5);
  tags.SetTagNumeric(0x4321, 0x0001, 2.5);          // not in the dictionary: FD
  tags.SetTagNumeric(0x0028, 0x0010, 70000);        // US keeps 16 bits without overflow
  const uint8_t block[3] = {1, 2, 3};
  tags.SetTagByteString(0x4321, 0x0002, 3, block);  // OB, padded to even
  EXPECT_EQ(Describe(tags),
            "0008,0016 UI 4 [1.2]\n0008,0060 CS 4 [ABC ]\n0028,0010 US 2 [65535]\n0028,0106 SS 2 [-5]\n"
            "0028,0107 US 2 [5]\n4321,0001 FD 8 [2.500000]\n4321,0002 OB 4 [\x01\x02\x03]\n");
  const std::string before = Describe(tags);
  struct Case {
    std::function<void()> set;
    const char* message;
  };
  const Case cases[] = {{[&] { tags.SetTagNumeric(0x0010, 0x0010, 1); }, "Tag 0010,0010 cannot be a number"},
                        {[&] { tags.SetTagString(0x0028, 0x0010, "1"); }, "Tag 0028,0010 cannot be a string"},
                        {[&] { tags.SetTagByteString(0x0010, 0x0010, 1, block); }, "Tag 0010,0010 cannot be a byte string"}};
  for (const Case& c : cases) {
    try {
      c.set();
      ADD_FAILURE() << "no exception for " << c.message;
    } catch (const EIEException& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
  EXPECT_EQ(Describe(tags), before);
}

TEST(DicomTags, GettersNeverReadPastTheValue) {
  // Numbers whose values are shorter than the VR says answer nothing.
  TIEDicomTags tags;
  tags.AddTag(1, 1, IE_DICOM_US, {7}, 1, nullptr);
  tags.AddTag(1, 2, IE_DICOM_SL, {1, 2}, 2, nullptr);
  tags.AddTag(1, 3, IE_DICOM_FD, {1, 2, 3, 4}, 4, nullptr);
  tags.AddTag(1, 4, IE_DICOM_UL, {}, 16, nullptr);  // a value that was not read
  tags.AddTag(1, 5, IE_DICOM_LO, Bytes("ABCD"), 2, nullptr);
  for (int32_t i = 0; i < 4; ++i) {
    std::string text = "x";
    tags.GetTagStringByIndex(i, text);
    EXPECT_EQ(text, "") << i;
  }
  std::string text;
  tags.GetTagString(1, 5, text);
  EXPECT_EQ(text, "AB");
  tags.GetTagString(9, 9, text);
  EXPECT_EQ(text, "");
}

// A store with a sequence of two items, the second holding a nested sequence.
std::unique_ptr<TIEDicomTags> SequenceSample() {
  auto tags = std::make_unique<TIEDicomTags>();
  tags->SetTagString(0x0010, 0x0010, "Doe^Jane");
  auto items = std::make_unique<TIEDicomItems>();
  items->push_back(std::make_unique<TIEDicomTags>());
  items->back()->SetTagString(0x0028, 0x1050, "40");
  items->push_back(std::make_unique<TIEDicomTags>());
  items->back()->SetTagString(0x0028, 0x1051, "400");
  auto nested = std::make_unique<TIEDicomItems>();
  nested->push_back(std::make_unique<TIEDicomTags>());
  nested->back()->SetTagNumeric(0x0028, 0x0010, 512);
  items->back()->AddTag(0x0008, 0x1140, IE_DICOM_SQ, {}, -1, std::move(nested));
  tags->AddTag(0x0028, 0x3110, IE_DICOM_SQ, {}, -1, std::move(items));
  return tags;
}

TEST(DicomTags, FindTagSearchesTheItems) {
  auto tags = SequenceSample();
  int32_t index = 5;
  TIEDicomTags* holder = tags->FindTag(0x0028, 0x1051, nullptr, index);
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(holder, (*tags->GetSequenceItems(0x0028, 0x3110))[1].get());
  EXPECT_EQ(index, 1);  // after the nested sequence (0008,1140)
  EXPECT_NE(tags->FindTag(0x0028, 0x0010, nullptr, index), nullptr);
  EXPECT_EQ(tags->FindTag(0x0028, 0x9999, nullptr, index), nullptr);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(tags->GetSequenceItems(0x0010, 0x0010), nullptr);
}

TEST(DicomTags, RecordsRoundTrip) {
  auto tags = SequenceSample();
  TMemoryStream stream;
  tags->SaveToStream(stream);
  stream.SetPosition(0);
  TIEDicomTags loaded;
  loaded.LoadFromStream(stream);
  EXPECT_EQ(stream.Position(), stream.Size());
  EXPECT_EQ(Describe(loaded), Describe(*tags));
  EXPECT_NE(Describe(loaded).find("  item\n    0028,0010 US 2 [512]"), std::string::npos) << Describe(loaded);
  TMemoryStream again;
  loaded.SaveToStream(again);
  EXPECT_EQ(std::string(static_cast<const char*>(again.Memory()), again.Size()),
            std::string(static_cast<const char*>(stream.Memory()), stream.Size()));
  TIEDicomTags copy;
  copy.Assign(loaded);
  EXPECT_EQ(Describe(copy), Describe(*tags));
  // Loading appends.
  stream.SetPosition(0);
  loaded.LoadFromStream(stream);
  EXPECT_EQ(loaded.Count(), 2 * tags->Count());
}

TEST(DicomTags, OlderRecordVersionsLoad) {
  // Version 1 has no item counts, version 2 one byte.
  ByteWriter v1(true), v2(true);
  v1.U8(1).U32(1).U16(0x10).U16(0x10).U32(IE_DICOM_PN).U32(0).U32(2).U32(0).Text("AB");
  v2.U8(2).U32(1).U16(0x10).U16(0x10).U32(IE_DICOM_PN).U32(0).U32(2).U32(0).Text("CD").U8(1).U8(0);
  for (const std::string& bytes : {v1.Bytes(), v2.Bytes()}) {
    TIEMemStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
    TIEDicomTags tags;
    tags.LoadFromStream(stream);
    ASSERT_EQ(tags.Count(), 1);
    EXPECT_EQ(stream.Position(), static_cast<int64_t>(bytes.size()));
  }
}

TEST(DicomTags, TruncatedOrOverNestedRecordsFailCleanly) {
  auto sample = SequenceSample();
  TMemoryStream stream;
  sample->SaveToStream(stream);
  const std::string full(static_cast<const char*>(stream.Memory()), stream.Size());
  for (size_t cut = 0; cut < full.size(); ++cut) {
    TIEMemStream part(full.data(), static_cast<int64_t>(cut));
    TIEDicomTags tags;
    tags.SetTagString(0x0008, 0x0060, "MR");
    EXPECT_THROW(tags.LoadFromStream(part), Exception) << cut;
    EXPECT_EQ(tags.Count(), 1) << cut;  // nothing added
  }
  // A count of elements and a length larger than the record.
  ByteWriter huge(true), longValue(true);
  huge.U8(3).U32(0x7FFFFFFF);
  longValue.U8(3).U32(1).U16(1).U16(1).U32(IE_DICOM_OB).U32(0).U32(0x7FFFFFF0).U32(0).Text("abc");
  for (const std::string& bytes : {huge.Bytes(), longValue.Bytes()}) {
    TIEMemStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
    TIEDicomTags tags;
    EXPECT_THROW(tags.LoadFromStream(s), EReadError);
  }
  // Items nested a thousand deep.
  ByteWriter deep(true);
  for (int i = 0; i < 1000; ++i) deep.U8(3).U32(1).U16(0x28).U16(0x3110).U32(IE_DICOM_SQ).U32(0).U32(0).U32(0).U32(1);
  deep.U8(0);
  TIEMemStream s(deep.Bytes().data(), static_cast<int64_t>(deep.Size()));
  TIEDicomTags tags;
  EXPECT_THROW(tags.LoadFromStream(s), EIEException);
  EXPECT_EQ(tags.Count(), 0);
}

}  // namespace
