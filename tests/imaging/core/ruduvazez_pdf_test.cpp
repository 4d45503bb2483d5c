#include "imaging/core/ruduvazez_pdf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "imaging/core/davovevo.h"
#include "imaging/core/iesettings.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "tests/imaging/core/test_support.h"

namespace {

std::string Text(TIEPDFObject& object) {
  TStringStream out;
  object.Write(out);
  return out.DataString();
}

std::string Text(TIEPDFObject* object) {
  std::unique_ptr<TIEPDFObject> owned(object);
  return Text(*owned);
}

TEST(PDFObjects, SerialiseAsPDFSyntax) {
  auto* nested = new TIEPDFDictionaryObject;
  nested->Set("lm1", new TIEPDFRefObject(5, 0));
  auto* dictionary = new TIEPDFDictionaryObject;
  dictionary->Set("Type", new TIEPDFNameObject("Pages"));
  dictionary->Set("XObject", nested);
  dictionary->Set("Count", new TIEPDFNumericObject(2));
  dictionary->Set("Count", new TIEPDFNumericObject(3));  // replaces, freeing the 2
  dictionary->Set("Gone", new TIEPDFNumericObject(4));
  dictionary->Remove("Gone");
  dictionary->Remove("Absent");
  auto* array = new TIEPDFArrayObject;
  array->Add(new TIEPDFNumericObject(0));
  array->Add(new TIEPDFBooleanObject(true));
  array->Add(new TIEPDFStringObject("x"));
  const struct {
    TIEPDFObject* object;
    const char* text;
  } kCases[] = {
      {new TIEPDFRefObject(12, 0), "12 0 R"},
      {new TIEPDFBooleanObject(false), "false"},
      {new TIEPDFBooleanObject(true), "true"},
      {array, "[0 true (x) ]"},
      {new TIEPDFArrayObject, "[]"},
      {dictionary, "<< /Type /Pages\n/XObject << /lm1 5 0 R\n>>\n/Count 3\n>>"},
      {new TIEPDFDictionaryObject, "<< >>"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Text(c.object), c.text);
}

TEST(PDFObjects, StringsEscapeWhatWouldEndOrBendThem) {
  const struct {
    std::string text, written;
  } kCases[] = {
      {"Caf\xC3\xA9", "(Caf\xC3\xA9)"},
      {"a(b)c\\d", "(a\\(b\\)c\\\\d)"},
      {"\b\t\n\f\r", "(\\b\\t\\n\\f\\r)"},
      {")", "(\\))"},
      {"", "()"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Text(new TIEPDFStringObject(c.text)), c.written) << c.text;
}

TEST(PDFObjects, NamesEscapeDelimitersHashAndBytesOutsideThePrintables) {
  const struct {
    std::string name, written;
  } kCases[] = {
      {"DeviceRGB", "/DeviceRGB"},
      {"a b", "/a#20b"},
      {"A#1", "/A#231"},
      {"()<>[]{}/%", "/#28#29#3C#3E#5B#5D#7B#7D#2F#25"},
      {std::string("\x01\x7F\xFF", 3), "/#01#7F#FF"},
      {"!~", "/!~"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Text(new TIEPDFNameObject(c.name)), c.written) << c.name;
  // Keys are names too.
  auto* dictionary = new TIEPDFDictionaryObject;
  dictionary->Set("a b", new TIEPDFNumericObject(1));
  EXPECT_EQ(Text(dictionary), "<< /a#20b 1\n>>");
}

TEST(PDFObjects, NumbersArePlainDecimalsWithAPoint) {
  const struct {
    double value;
    const char* text;
  } kCases[] = {
      {0.5, "0.5"},
      {0.00001, "0.00001"},
      {-0.00001, "-0.00001"},
      {595, "595"},
      {-297.25, "-297.25"},
      {0, "0"},
      {-0.0, "0"},
      {1.0 / 3, "0.333333333333333"},
      {1e20, "100000000000000000000"},
      {123456789012345678.0, "123456789012346000"},
      {1.5e-10, "0.00000000015"},
  };
  const std::string separator(1, FormatSettings.DecimalSeparator);
  FormatSettings.DecimalSeparator = ',';
  for (const auto& c : kCases) EXPECT_EQ(Text(new TIEPDFNumericObject(c.value)), c.text) << c.value;
  FormatSettings.DecimalSeparator = separator[0];
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()})
    EXPECT_THROW(Text(new TIEPDFNumericObject(bad)), EIEException) << bad;
}

TEST(PDFObjects, SharedItemsOutliveTheirContainers) {
  TIEPDFNameObject shared("Kept");
  shared.Shared = true;
  {
    TIEPDFArrayObject array;
    array.Add(&shared);
    TIEPDFDictionaryObject dictionary;
    dictionary.Set("k", &shared);
    dictionary.Set("k", &shared);  // the same value again is not freed either
  }
  EXPECT_EQ(Text(shared), "/Kept");
}

class PDFStreams : public ::testing::Test {
protected:
  void SetUp() override { IEGetGlobalSettings()->TempFolder = folder.Folder(); }
  void TearDown() override { IEGetGlobalSettings()->TempFolder.clear(); }
  TempFolder folder;
};

TEST_F(PDFStreams, LengthFollowsTheDataWhereverItIs) {
  const std::string data("ab\0cd", 5);
  const std::string expected = "<< /Length 5\n>>\nstream\n" + data + "\nendstream";
  TIEPDFStreamObject inMemory(data.data(), 5);
  EXPECT_EQ(Text(inMemory), expected);
  TIEPDFStreamObject moved(data.data(), 5);
  moved.MoveDataToTempFile();
  EXPECT_EQ(moved.DataSize(), 5);
  EXPECT_EQ(Text(moved), expected);
  EXPECT_EQ(Text(moved), expected);  // written twice, read from the start each time
  TIEPDFStreamObject written;
  written.Dictionary().Set("Filter", new TIEPDFNameObject("DCTDecode"));
  written.DataFile().WriteBuffer(data.data(), 5);
  EXPECT_EQ(Text(written), "<< /Length 5\n/Filter /DCTDecode\n>>\nstream\n" + data + "\nendstream");
  TIEPDFStreamObject empty;
  EXPECT_EQ(Text(empty), "<< /Length 0\n>>\nstream\n\nendstream");
}

// Catalog, one page, its contents, the page tree and an information
// dictionary, laid out as the writers do.
std::string MinimalDocument(const std::string& title) {
  TIEPDFObjectList objects;
  std::vector<TIEPDFDictionaryObject*> pages;
  IEPDFCreateCatalog(objects);
  const std::string drawing = "0 0 1 rg 10 10 80 30 re f";
  auto* contents = IEPDFAddObject(objects, new TIEPDFStreamObject(drawing.data(), drawing.size()));
  auto* box = new TIEPDFArrayObject;
  for (double v : {0.0, 0.0, 100.5, 50.0}) box->Add(new TIEPDFNumericObject(v));
  IEPDFCreatePage(objects, pages, nullptr, contents->Number, box);
  IEPDFCreatePages(objects, pages);
  auto* info = IEPDFAddObject(objects, new TIEPDFDictionaryObject);
  info->Set("Title", new TIEPDFStringObject(title));
  TStringStream out;
  IEPDFWriteHeader(out);
  IEPDFWriteObjects(out, objects);
  IEPDFWriteXRefAndTrailer(out, objects, *info);
  return out.DataString();
}

TEST(PDFDocument, LayoutWithItsCrossReferenceTable) {
  const std::string pdf = MinimalDocument("T");
  EXPECT_EQ(pdf.substr(0, 15), "%PDF-1.4\n%\xC8\xD2\xF0\xFE\n");
  const size_t xref = pdf.find("xref\n");
  ASSERT_NE(xref, std::string::npos);
  EXPECT_EQ(pdf.substr(pdf.find("startxref\n") + 10), std::to_string(xref) + "\n%%EOF\n");
  const size_t table = pdf.find('\n', xref + 5) + 1;
  EXPECT_EQ(pdf.substr(xref + 5, table - xref - 5), "0 6\n");
  EXPECT_EQ(pdf.substr(table, 20), "0000000000 65535 f \n");
  for (int n = 1; n <= 5; ++n) {
    const std::string line = pdf.substr(table + 20 * n, 20);
    ASSERT_EQ(line.substr(10), " 00000 n \n") << n;
    const size_t position = std::stoul(line.substr(0, 10));
    EXPECT_EQ(pdf.compare(position, std::to_string(n).size() + 6, std::to_string(n) + " 0 obj"), 0) << n;
  }
  EXPECT_NE(pdf.find("trailer\n<< /Size 6\n/Root 1 0 R\n/Info 5 0 R\n>>\n"), std::string::npos);
  // The catalog points at the tree, the tree at its kid, the page at its parent.
  EXPECT_NE(pdf.find("1 0 obj\n<< /Type /Catalog\n/Pages 4 0 R\n>>"), std::string::npos);
  EXPECT_NE(pdf.find("<< /Type /Pages\n/Kids [3 0 R ]\n/Count 1\n>>"), std::string::npos);
  EXPECT_NE(pdf.find("<< /Type /Page\n/MediaBox [0 0 100.5 50 ]\n/Contents 2 0 R\n/Parent 4 0 R\n>>"),
            std::string::npos);
}

TEST(PDFDocument, QpdfFindsNothingToCorrect) {
  TempFolder folder;
  WriteFile(folder.File("min.pdf"), MinimalDocument("Odd (title) with \\ and \r\n"));
  ASSERT_EQ(RunCommand("qpdf --check " + folder.File("min.pdf") + " >" + folder.File("check") + " 2>&1"), 0)
      << ReadFile(folder.File("check"));
  EXPECT_EQ(ReadFile(folder.File("check")).find("WARNING"), std::string::npos) << ReadFile(folder.File("check"));
  EXPECT_EQ(IEPDFGetPageCount(folder.File("min.pdf")), 1);
}

TEST(PDFDocument, OffsetsBeyondTenDigitsAreRefused) {
  for (const int64_t position : {int64_t{9999999999}, int64_t{10000000000}}) {
    TIEPDFObjectList objects;
    IEPDFCreateCatalog(objects)->Position = position;
    TStringStream out;
    if (position <= 9999999999) {
      IEPDFWriteXRefAndTrailer(out, objects, *objects[0]);
      EXPECT_NE(out.DataString().find("9999999999 00000 n \n"), std::string::npos);
    } else {
      EXPECT_THROW(IEPDFWriteXRefAndTrailer(out, objects, *objects[0]), EIEException);
    }
  }
}

TEST(PDFDocument, PadLeft) {
  EXPECT_EQ(IEPadLeft("17", 10, '0'), "0000000017");
  EXPECT_EQ(IEPadLeft("12345678901", 10, '0'), "12345678901");
  EXPECT_EQ(IEPadLeft("", 3, ' '), "   ");
}

TEST(PDFPageCount, ScansForTheRootPageTree) {
  const struct {
    const char* name;
    std::string text;
    int32_t count;
  } kCases[] = {
      {"root tree, blank after the count", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", 1},
      {"our own line end after the count", "<< /Type /Catalog >> << /Type /Pages\n/Count 3\n>>", 3},
      {"digits end at the first non-digit", "<< /Type /Pages /Count 12/Kids [] >>", 12},
      {"a node with a parent is passed over", "<< /Type /Pages /Parent 2 0 R /Count 7 >> << /Type /Pages /Count 9 >>",
       9},
      {"a dictionary without /Type /Pages", "<< /Count 4 >>", 0},
      {"no dictionary", "%PDF-1.4 nothing here", 0},
      {"empty", "", 0},
      {"<< without >>", "<< /Type /Pages /Count 5", 0},
      {"a count beyond a 32-bit number", "<< /Type /Pages /Count 12345678901 >>", 0},
      {"no digits", "<< /Type /Pages /Count x >>", 0},
      {"the type after a partial match", "<< /Type /Type /Pages /Count 2 >>", 2},
  };
  for (const auto& c : kCases) {
    TStringStream in(c.text);
    EXPECT_EQ(IEPDFGetStreamPageCount(in), c.count) << c.name;
  }
}

TEST(PDFPageCount, StreamFindStepsBackAfterAPartialMatch) {
  const struct {
    std::string text, pattern;
    int64_t limit, found, after;
  } kCases[] = {
      {"aaab", "aab", 100, 1, 4},
      {"xx<<<>>", "<>", 100, 4, 6},
      {"abcabd", "abd", 100, 3, 6},
      {"abcabd", "abd", 5, -1, 5},  // the match would end past the limit
      {"abc", "zz", 100, -1, 3},
      {std::string(63, 'x') + "aab", "aab", 1 << 20, 63, 66},  // across the first reading blocks
      {std::string(62, 'x') + "aaab", "aab", 1 << 20, 63, 66},
      {std::string(9000, 'x') + "aab", "aab", 1 << 20, 9000, 9003},
  };
  for (const auto& c : kCases) {
    TStringStream in(c.text);
    EXPECT_EQ(IEStreamFind(in, c.pattern, c.limit), c.found) << c.text.size() << " " << c.pattern;
    EXPECT_EQ(in.Position(), c.after) << c.text.size() << " " << c.pattern;
  }
}

TEST(PDFPageCount, FileThatCannotBeOpenedRaises) {
  TempFolder folder;
  EXPECT_ANY_THROW(IEPDFGetPageCount(folder.File("missing.pdf")));
}

}  // namespace
