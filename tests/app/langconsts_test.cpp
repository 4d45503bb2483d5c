// The message constants follow the language code; the quality items and the
// help page with them.
#include "app/langconsts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/loclangman.h"
#include "platform/rtl/stringlist.h"

namespace fs = std::filesystem;

namespace {

class MessageConstantsTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("vesk-consts-" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "help");
    for (const char* page : {"vesk.html", "vesk_sk.html", "vesk_de.html", "vesk_it.html", "vesk_in.html"})
      std::ofstream(folder_ / "help" / page) << "<html></html>";
    for (const char* item : {"0", "1", "2", "3"}) quality_.Add(item);
  }
  void TearDown() override {
    fs::remove_all(folder_);
    ClearMessageConstants();
  }
  std::string Set(const std::string& code) {
    return fs::path(SetMessageConstantsFor(code, folder_.string() + "/", &quality_)).filename().string();
  }
  fs::path folder_;
  TStringList quality_;
};

TEST_F(MessageConstantsTest, CodesChooseTextsQualityItemsAndHelpPage) {
  const struct {
    const char* code;
    const char* preview;
    const char* openError;
    const char* high;
    const char* help;
  } cases[] = {
      {"en", "VeSk Preview", "Error opening the image.", "High", "vesk.html"},
      {"cs", "VeSk Preview", "Chyba při otevírání obrázku.", "Vysoká", "vesk.html"},
      {"de", "VeSk Vorschau", "Fehler beim Öffnen des Bildes.", "Hoch", "vesk_de.html"},
      {"pl", "Podgląd VeSk", "Błąd podczas otwierania obrazu.", "Wysoka", "vesk.html"},
      {"fr", "Aperçu VeSk", "Erreur à l'ouverture de l'image.", "Haute", "vesk.html"},
      {"es", "Vista previa de VeSk", "Error al abrir la imagen.", "Alta", "vesk.html"},
      {"in", "Pratinjau VeSk", "Gagal membuka gambar.", "Tinggi", "vesk_in.html"},
      {"id", "Pratinjau VeSk", "Gagal membuka gambar.", "Tinggi", "vesk_in.html"},
      // Only a help page of its own; English texts.
      {"sk", "VeSk Preview", "Error opening the image.", "High", "vesk_sk.html"},
      // Files but no texts here, and a code that is not exactly one of ours.
      {"it", "VeSk Preview", "Error opening the image.", "High", "vesk.html"},
      {"DE", "VeSk Preview", "Error opening the image.", "High", "vesk.html"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(Set(c.code), c.help);
    EXPECT_EQ(msgPreviewCaption, c.preview);
    EXPECT_EQ(msgOpenImageError, c.openError);
    EXPECT_EQ(quality_.Strings(2), c.high);
    EXPECT_EQ(msgDefaultDevice, "Camera");
    EXPECT_EQ(msgChartQP202, "     * QPcard 202/203");
  }
}

TEST_F(MessageConstantsTest, EveryTranslationIsWholeAndKeepsTheParagraphBreaks) {
  Set("en");
  const std::string english = msgInfoTweaks;
  for (const char* code : {"en", "cs", "pl", "fr", "de", "in", "es"}) {
    SCOPED_TRACE(code);
    Set(code);
    for (const std::string* text : {&msgSelectTarget, &msgNoSpace, &msgInfoOptions, &msgWhitePointRange})
      EXPECT_FALSE(text->empty());
    // One empty line between the two paragraphs of the corrections text, two in the tweaks text.
    EXPECT_EQ(msgInfoCorrections.find("\r\n\n\r\n\n"), std::string::npos);
    EXPECT_NE(msgInfoCorrections.find("\r\n\n"), std::string::npos);
    EXPECT_NE(msgInfoTweaks.find("\r\n\n\r\n\n"), std::string::npos);
    EXPECT_NE(msgProfileFilter.find("|*.icm"), std::string::npos);
    if (std::string(code) != "en") {
      EXPECT_NE(msgInfoTweaks, english);
    }
  }
}

TEST_F(MessageConstantsTest, ConstantsAreEmptyUntilALanguageIsApplied) {
  ClearMessageConstants();
  EXPECT_EQ(msgSelectTarget, "");
  EXPECT_EQ(msgDefaultModel, "");
  // Without a list the constants are still set.
  SetMessageConstantsFor("fr", folder_.string(), nullptr);
  EXPECT_EQ(msgSaveProfileTitle, "Enregistrer le profil");
}

// The program's own texts come from the language's files; a text a file
// lacks stays English, and clearing the constants makes them English again.
TEST_F(MessageConstantsTest, ProgramMessagesComeFromTheLanguageFiles) {
  std::ofstream(folder_ / "app.xx.lngu") << "[language info]\nlanguagename=Test\n[constants]\n"
                                            "msgNotTiff=Kein TIFF\\nbitte\nMSGDIRECTORYFAILED=Fehler %d\n";
  TLanguageManager manager;
  manager.SetFolder(folder_.string());
  manager.SetLanguageCode("xx");
  ASSERT_EQ(manager.LastError(), "");
  SetProgramMessages(manager);
  EXPECT_EQ(msgNotTiff, "Kein TIFF\r\nbitte");
  EXPECT_EQ(msgDirectoryFailed, "Fehler %d");
  EXPECT_EQ(msgImageNotSaved, "The image could not be saved to:");
  ClearMessageConstants();
  EXPECT_EQ(msgNotTiff.substr(0, 36), "The photo is neither a TIFF file nor");
  EXPECT_EQ(msgDirectoryFailed, "Directory creation failed with error %d");
}

}  // namespace
