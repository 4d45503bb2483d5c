// The standard texts of the framework's dialogs in the languages the layer
// carries, chosen by the user's locale as a desktop's own dialogs are.
#include <array>

#include "platform/forms/dialogs.h"
#include "platform/win/locale.h"

namespace {

constexpr size_t kTextCount = static_cast<size_t>(TStdText::Count);

struct LanguageTexts {
  const char* codes[2];  // ISO 639 codes; Indonesian answers to its old code too
  std::array<const char*, kTextCount> texts;  // in the order of TStdText
};

// Format texts carry "%s" where the file or folder goes.
const LanguageTexts kLanguages[] = {
    {{"en", nullptr},
     {"Warning", "Error", "Information", "Confirm", "&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore",
      "&All", "N&o to All", "Yes to &All", "&Help", "&Close", "Open", "Save As", "Look &in:", "Save &in:", "&Up",
      "File &name:", "Files of &type:", "Save as &type:", "&Open", "&Save", "All files",
      "The folder %s does not exist.", "%s\nFile not found.\nCheck the file name and try again.",
      "%s already exists.\nDo you want to replace it?", "Color", "&Red:", "&Green:", "&Blue:"}},
    {{"cs", nullptr},
     {"Upozornění", "Chyba", "Informace", "Potvrzení", "&Ano", "&Ne", "OK", "Storno", "&Přerušit", "&Opakovat",
      "&Ignorovat", "&Vše", "N&e pro všechny", "Ano pro &všechny", "Nápově&da", "&Zavřít", "Otevřít",
      "Uložit jako", "Hledat &v:", "Uložit &do:", "&Nahoru", "Název &souboru:", "Soubory &typu:",
      "Uložit jako &typ:", "&Otevřít", "&Uložit", "Všechny soubory", "Složka %s neexistuje.",
      "%s\nSoubor nebyl nalezen.\nZkontrolujte název souboru a zkuste to znovu.",
      "%s již existuje.\nChcete jej nahradit?", "Barva", "Če&rvená:", "&Zelená:", "&Modrá:"}},
    {{"pl", nullptr},
     {"Ostrzeżenie", "Błąd", "Informacja", "Potwierdzenie", "&Tak", "&Nie", "OK", "Anuluj", "&Przerwij",
      "P&onów", "&Ignoruj", "&Wszystkie", "N&ie dla wszystkich", "Tak dla &wszystkich", "Pomo&c", "&Zamknij",
      "Otwórz", "Zapisz jako", "Szukaj &w:", "Zapisz &w:", "W &górę", "&Nazwa pliku:", "Pliki &typu:",
      "Zapisz jako &typ:", "&Otwórz", "&Zapisz", "Wszystkie pliki", "Folder %s nie istnieje.",
      "%s\nNie znaleziono pliku.\nSprawdź nazwę pliku i spróbuj ponownie.",
      "%s już istnieje.\nCzy chcesz go zastąpić?", "Kolor", "&Czerwony:", "&Zielony:", "&Niebieski:"}},
    {{"fr", nullptr},
     {"Avertissement", "Erreur", "Information", "Confirmation", "&Oui", "&Non", "OK", "Annuler", "&Abandonner",
      "&Réessayer", "&Ignorer", "&Tout", "Non pour to&us", "Oui pour &tous", "Ai&de", "&Fermer", "Ouvrir",
      "Enregistrer sous", "Rechercher &dans :", "Enregistrer &dans :", "Niveau s&upérieur", "&Nom du fichier :",
      "Fichiers de &type :", "Enregistrer sous le &type :", "&Ouvrir", "&Enregistrer", "Tous les fichiers",
      "Le dossier %s n'existe pas.", "%s\nFichier introuvable.\nVérifiez le nom du fichier et réessayez.",
      "%s existe déjà.\nVoulez-vous le remplacer ?", "Couleur", "&Rouge :", "&Vert :", "&Bleu :"}},
    {{"de", nullptr},
     {"Warnung", "Fehler", "Information", "Bestätigen", "&Ja", "&Nein", "OK", "Abbrechen", "&Abbrechen",
      "&Wiederholen", "&Ignorieren", "&Alle", "N&ein für alle", "Ja für &alle", "&Hilfe", "&Schließen", "Öffnen",
      "Speichern unter", "Suchen &in:", "Speichern &in:", "Nach &oben", "Datei&name:", "Datei&typ:", "Datei&typ:",
      "Ö&ffnen", "&Speichern", "Alle Dateien", "Der Ordner %s existiert nicht.",
      "%s\nDie Datei wurde nicht gefunden.\nÜberprüfen Sie den Dateinamen und versuchen Sie es erneut.",
      "%s ist bereits vorhanden.\nMöchten Sie die Datei ersetzen?", "Farbe", "&Rot:", "&Grün:", "&Blau:"}},
    {{"id", "in"},
     {"Peringatan", "Kesalahan", "Informasi", "Konfirmasi", "&Ya", "&Tidak", "OK", "Batal", "&Hentikan",
      "&Coba Lagi", "&Abaikan", "&Semua", "T&idak untuk Semua", "Ya untuk &Semua", "&Bantuan", "&Tutup", "Buka",
      "Simpan Sebagai", "Cari &di:", "Simpan &di:", "Na&ik", "&Nama berkas:", "&Jenis berkas:",
      "Simpan sebagai &jenis:", "&Buka", "&Simpan", "Semua berkas", "Folder %s tidak ada.",
      "%s\nBerkas tidak ditemukan.\nPeriksa nama berkas lalu coba lagi.",
      "%s sudah ada.\nApakah Anda ingin menggantinya?", "Warna", "&Merah:", "&Hijau:", "B&iru:"}},
    {{"es", nullptr},
     {"Advertencia", "Error", "Información", "Confirmación", "&Sí", "&No", "Aceptar", "Cancelar", "&Anular",
      "&Reintentar", "&Omitir", "&Todo", "N&o a todo", "Sí a &todo", "A&yuda", "&Cerrar", "Abrir",
      "Guardar como", "&Buscar en:", "Guardar &en:", "S&ubir", "&Nombre de archivo:", "Archivos de &tipo:",
      "Guardar como &tipo:", "&Abrir", "&Guardar", "Todos los archivos", "La carpeta %s no existe.",
      "%s\nNo se encontró el archivo.\nCompruebe el nombre del archivo e inténtelo de nuevo.",
      "%s ya existe.\n¿Desea reemplazarlo?", "Color", "&Rojo:", "&Verde:", "&Azul:"}},
};

// The texts of the user's locale's language; English for one the layer lacks.
const LanguageTexts& UserLanguage() {
  const std::string code = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME);
  for (const LanguageTexts& language : kLanguages)
    for (const char* known : language.codes)
      if (known && code == known) return language;
  return kLanguages[0];
}

}  // namespace

std::string StdTextLanguage() { return UserLanguage().codes[0]; }

std::string StdText(TStdText text) {
  if (text >= TStdText::Count) return "";
  return UserLanguage().texts[static_cast<size_t>(text)];
}
