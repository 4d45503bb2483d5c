// The per-language texts of the message constants: English and the six
// translations the program carries. A null entry takes the English text.
#include "app/langconsts_texts.h"

namespace {

#define PARA "\r\n\n"

const TLanguageTexts kEnglish = {
    "en",
    {"VeSk Preview",
     "Error opening the image.",
     "Please select valid target image.",
     "Please select reference file.",
     "ICC Profile File (*.icm)|*.icm",
     "Save Profile",
     "ICC Profile saved to:",
     "ERROR extracting RGB values. Cannot continue. Check if the target type selection is correct.",
     "ERROR! Please make sure that the user have sufficient rights to process the image file in the current "
     "folder or the folder is not read-only.",
     "Unable to run program.",
     "No image to view",
     "Not enough space on the disk. Free space: ",
     "MB. Required minimum space: ",
     "VeSk works with a limited number of targets. Currently, it accepts only the following charts:",
     "     * Xrite ColorChecker (24 patches)",
     "     * IT8.7",
     "Generic reference files are available for Xrite ColorChecker and QPcard, other references should be "
     "available on the manufacturer's web site.",
     "Make sure that you have image of the intended target and it is correctly cropped and positioned.",
     "If the target image has a perspective distortion, tick the box for VeSk to attempt to automatically "
     "correct it." PARA
     "Default gamma is 2.2. Use gamma 1.0 for images with linear gamma (e.g. converted from RAW with linear "
     "option) .",
     "Use to adjust the White Point. Resulting profile will produce slightly lighter (if value is below 1.0) or "
     "darker (above 1.0) images." PARA PARA "Use to adjust dark areas (-V demphasis. 1.00 means off).",
     "Generic reference files are available only for Xrite ColorChecker 24-patch target and QPcards.",
     "For all other targets, select file that came with the target or try finding the corresponding file on "
     "the manufacturer's web site.",
     "Select Reference File",
     "Select correct target type from the list. VeSk needs it for creating a valid profile.",
     "This information is important as it describes the profile and some programs (like Photoshop) use it for "
     "identification.",
     "Different algorithms work better for different devices. Gamma+Matrix seems to work best for digital "
     "cameras." PARA
     "Higher quality settings result in better profile. However, creating a profile takes longer and it is "
     "larger.",
     "Dark Areas emphasis value outside valid parameters. Resetting back to 1.00",
     "White Point value outside valid parameters. Resetting back to 1.00"},
    {"Low", "Medium", "High", "Ultra High"}};

const TLanguageTexts kCzech = {
    "cs",
    {nullptr,
     "Chyba při otevírání obrázku.",
     "Vyberte prosím platný obrázek terče.",
     "Vyberte prosím referenční soubor.",
     "Soubor profilu ICC (*.icm)|*.icm",
     "Uložit profil",
     "Profil ICC byl uložen do:",
     "CHYBA při získávání hodnot RGB. Nelze pokračovat. Zkontrolujte, zda je zvolen správný typ terče.",
     "CHYBA! Ujistěte se, že uživatel má dostatečná práva ke zpracování obrázku v aktuální složce a že "
     "složka není jen pro čtení.",
     "Program nelze spustit.",
     "Žádný obrázek k zobrazení",
     "Na disku není dost místa. Volné místo: ",
     "MB. Požadované minimum: ",
     "VeSk pracuje s omezeným počtem terčů. V současné době přijímá pouze tyto terče:",
     "     * Xrite ColorChecker (24 polí)",
     "     * IT8.7",
     "Obecné referenční soubory jsou k dispozici pro Xrite ColorChecker a QPcard, ostatní reference by měly "
     "být k dispozici na webu výrobce.",
     "Ujistěte se, že máte snímek zamýšleného terče a že je správně oříznutý a umístěný.",
     "Pokud má snímek terče perspektivní zkreslení, zaškrtněte políčko a VeSk se jej pokusí automaticky "
     "opravit." PARA
     "Výchozí gama je 2,2. Pro obrázky s lineární gamou (např. převedené z RAW s lineární volbou) použijte "
     "gamu 1,0.",
     "Slouží k úpravě bílého bodu. Výsledný profil bude dávat mírně světlejší (hodnota pod 1,0) nebo tmavší "
     "(nad 1,0) obrázky." PARA PARA "Slouží k úpravě tmavých oblastí (potlačení -V; 1,00 znamená vypnuto).",
     "Obecné referenční soubory jsou k dispozici pouze pro 24polový terč Xrite ColorChecker a terče QPcard.",
     "Pro všechny ostatní terče vyberte soubor dodaný s terčem nebo zkuste najít odpovídající soubor na webu "
     "výrobce.",
     "Vybrat referenční soubor",
     "Vyberte ze seznamu správný typ terče. VeSk jej potřebuje k vytvoření platného profilu.",
     "Tyto údaje jsou důležité, protože popisují profil a některé programy (např. Photoshop) je používají "
     "k jeho identifikaci.",
     "Různé algoritmy fungují lépe pro různá zařízení. Pro digitální fotoaparáty se nejlépe osvědčuje "
     "Gama+Matice." PARA
     "Vyšší kvalita dává lepší profil. Jeho vytvoření však trvá déle a profil je větší.",
     "Hodnota zdůraznění tmavých oblastí je mimo platný rozsah. Nastavuje se zpět na 1,00",
     "Hodnota bílého bodu je mimo platný rozsah. Nastavuje se zpět na 1,00"},
    {"Nízká", "Střední", "Vysoká", "Velmi vysoká"}};

const TLanguageTexts kPolish = {
    "pl",
    {"Podgląd VeSk",
     "Błąd podczas otwierania obrazu.",
     "Wybierz prawidłowy obraz wzornika.",
     "Wybierz plik referencyjny.",
     "Plik profilu ICC (*.icm)|*.icm",
     "Zapisz profil",
     "Profil ICC zapisano w:",
     "BŁĄD odczytu wartości RGB. Nie można kontynuować. Sprawdź, czy wybrano właściwy typ wzornika.",
     "BŁĄD! Upewnij się, że użytkownik ma wystarczające uprawnienia do przetwarzania pliku obrazu w bieżącym "
     "folderze lub że folder nie jest tylko do odczytu.",
     "Nie można uruchomić programu.",
     "Brak obrazu do wyświetlenia",
     "Za mało miejsca na dysku. Wolne miejsce: ",
     "MB. Wymagane minimum: ",
     "VeSk obsługuje ograniczoną liczbę wzorników. Obecnie akceptuje tylko następujące wzorniki:",
     "     * Xrite ColorChecker (24 pola)",
     "     * IT8.7",
     "Ogólne pliki referencyjne są dostępne dla Xrite ColorChecker i QPcard, inne pliki referencyjne powinny "
     "być dostępne na stronie producenta.",
     "Upewnij się, że masz zdjęcie właściwego wzornika i że jest ono prawidłowo przycięte i ustawione.",
     "Jeśli zdjęcie wzornika ma zniekształcenie perspektywiczne, zaznacz pole, a VeSk spróbuje je "
     "automatycznie skorygować." PARA
     "Domyślna gamma to 2,2. Dla obrazów z liniową gammą (np. przekonwertowanych z RAW z opcją liniową) użyj "
     "gammy 1,0.",
     "Służy do korekty punktu bieli. Wynikowy profil da nieco jaśniejsze (wartość poniżej 1,0) lub ciemniejsze "
     "(powyżej 1,0) obrazy." PARA PARA "Służy do korekty ciemnych obszarów (osłabienie -V; 1,00 oznacza wyłączone).",
     "Ogólne pliki referencyjne są dostępne tylko dla 24-polowego wzornika Xrite ColorChecker i wzorników "
     "QPcard.",
     "Dla wszystkich innych wzorników wybierz plik dołączony do wzornika lub poszukaj odpowiedniego pliku na "
     "stronie producenta.",
     "Wybierz plik referencyjny",
     "Wybierz z listy właściwy typ wzornika. VeSk potrzebuje go do utworzenia prawidłowego profilu.",
     "Te informacje są ważne, ponieważ opisują profil, a niektóre programy (np. Photoshop) używają ich do jego "
     "identyfikacji.",
     "Różne algorytmy sprawdzają się lepiej dla różnych urządzeń. Dla aparatów cyfrowych najlepiej sprawdza "
     "się Gamma+Macierz." PARA
     "Wyższa jakość daje lepszy profil. Jego tworzenie trwa jednak dłużej, a profil jest większy.",
     "Wartość podkreślenia ciemnych obszarów poza dozwolonym zakresem. Przywracanie wartości 1,00",
     "Wartość punktu bieli poza dozwolonym zakresem. Przywracanie wartości 1,00"},
    {"Niska", "Średnia", "Wysoka", "Bardzo wysoka"}};

const TLanguageTexts kFrench = {
    "fr",
    {"Aperçu VeSk",
     "Erreur à l'ouverture de l'image.",
     "Veuillez sélectionner une image de mire valide.",
     "Veuillez sélectionner le fichier de référence.",
     "Fichier de profil ICC (*.icm)|*.icm",
     "Enregistrer le profil",
     "Profil ICC enregistré dans :",
     "ERREUR lors de l'extraction des valeurs RVB. Impossible de continuer. Vérifiez que le type de mire "
     "choisi est correct.",
     "ERREUR ! Assurez-vous que l'utilisateur a les droits suffisants pour traiter le fichier image dans le "
     "dossier actuel ou que le dossier n'est pas en lecture seule.",
     "Impossible de lancer le programme.",
     "Aucune image à afficher",
     "Espace disque insuffisant. Espace libre : ",
     "Mo. Espace minimum requis : ",
     "VeSk fonctionne avec un nombre limité de mires. Actuellement, il n'accepte que les mires suivantes :",
     "     * Xrite ColorChecker (24 plages)",
     "     * IT8.7",
     "Des fichiers de référence génériques sont disponibles pour Xrite ColorChecker et QPcard ; les autres "
     "références devraient être disponibles sur le site web du fabricant.",
     "Assurez-vous que l'image est bien celle de la mire prévue et qu'elle est correctement recadrée et "
     "positionnée.",
     "Si l'image de la mire présente une distorsion de perspective, cochez la case pour que VeSk tente de la "
     "corriger automatiquement." PARA
     "Le gamma par défaut est 2,2. Utilisez un gamma de 1,0 pour les images à gamma linéaire (par ex. "
     "converties depuis le RAW avec l'option linéaire).",
     "Sert à ajuster le point blanc. Le profil obtenu produira des images légèrement plus claires (valeur "
     "inférieure à 1,0) ou plus sombres (supérieure à 1,0)." PARA PARA
     "Sert à ajuster les zones sombres (atténuation -V ; 1,00 signifie désactivé).",
     "Des fichiers de référence génériques ne sont disponibles que pour la mire Xrite ColorChecker 24 plages "
     "et les QPcard.",
     "Pour toutes les autres mires, choisissez le fichier fourni avec la mire ou cherchez le fichier "
     "correspondant sur le site web du fabricant.",
     "Sélectionner le fichier de référence",
     "Choisissez dans la liste le type de mire correct. VeSk en a besoin pour créer un profil valide.",
     "Ces informations sont importantes car elles décrivent le profil et certains programmes (comme "
     "Photoshop) les utilisent pour l'identifier.",
     "Les algorithmes conviennent plus ou moins bien selon les appareils. Gamma+Matrice semble donner les "
     "meilleurs résultats pour les appareils photo numériques." PARA
     "Une qualité plus élevée donne un meilleur profil. Sa création prend cependant plus de temps et il est "
     "plus volumineux.",
     "Valeur d'accentuation des zones sombres hors limites. Retour à 1,00",
     "Valeur du point blanc hors limites. Retour à 1,00"},
    {"Basse", "Moyenne", "Haute", "Très haute"}};

const TLanguageTexts kGerman = {
    "de",
    {"VeSk Vorschau",
     "Fehler beim Öffnen des Bildes.",
     "Bitte wählen Sie ein gültiges Bild des Farbtargets.",
     "Bitte wählen Sie die Referenzdatei.",
     "ICC-Profildatei (*.icm)|*.icm",
     "Profil speichern",
     "ICC-Profil gespeichert unter:",
     "FEHLER beim Auslesen der RGB-Werte. Fortfahren nicht möglich. Prüfen Sie, ob der richtige Targettyp "
     "gewählt ist.",
     "FEHLER! Stellen Sie sicher, dass der Benutzer ausreichende Rechte hat, um die Bilddatei im aktuellen "
     "Ordner zu bearbeiten, und dass der Ordner nicht schreibgeschützt ist.",
     "Das Programm kann nicht gestartet werden.",
     "Kein Bild zum Anzeigen",
     "Nicht genug Platz auf dem Datenträger. Freier Platz: ",
     "MB. Mindestens benötigt: ",
     "VeSk arbeitet mit einer begrenzten Zahl von Targets. Derzeit werden nur die folgenden Targets "
     "unterstützt:",
     "     * Xrite ColorChecker (24 Felder)",
     "     * IT8.7",
     "Allgemeine Referenzdateien gibt es für Xrite ColorChecker und QPcard; andere Referenzen sollten auf "
     "der Website des Herstellers erhältlich sein.",
     "Stellen Sie sicher, dass Sie ein Bild des vorgesehenen Targets haben und dass es richtig zugeschnitten "
     "und ausgerichtet ist.",
     "Hat das Bild des Targets eine perspektivische Verzerrung, setzen Sie das Häkchen, damit VeSk versucht, "
     "sie automatisch zu korrigieren." PARA
     "Das Standard-Gamma ist 2,2. Verwenden Sie Gamma 1,0 für Bilder mit linearem Gamma (z. B. aus RAW mit "
     "linearer Option umgewandelt).",
     "Dient zum Anpassen des Weißpunkts. Das erzeugte Profil liefert etwas hellere (Wert unter 1,0) oder "
     "dunklere (über 1,0) Bilder." PARA PARA
     "Dient zum Anpassen dunkler Bereiche (-V-Abschwächung; 1,00 bedeutet aus).",
     "Allgemeine Referenzdateien gibt es nur für das Xrite ColorChecker-Target mit 24 Feldern und für "
     "QPcards.",
     "Wählen Sie für alle anderen Targets die mit dem Target gelieferte Datei oder suchen Sie die passende "
     "Datei auf der Website des Herstellers.",
     "Referenzdatei wählen",
     "Wählen Sie den richtigen Targettyp aus der Liste. VeSk braucht ihn, um ein gültiges Profil zu "
     "erstellen.",
     "Diese Angaben sind wichtig, denn sie beschreiben das Profil, und manche Programme (wie Photoshop) "
     "erkennen es daran.",
     "Verschiedene Algorithmen eignen sich für verschiedene Geräte. Für Digitalkameras scheint "
     "Gamma+Matrix am besten zu funktionieren." PARA
     "Höhere Qualität ergibt ein besseres Profil. Das Erstellen dauert jedoch länger, und das Profil wird "
     "größer.",
     "Wert für die Betonung dunkler Bereiche außerhalb des gültigen Bereichs. Wird auf 1,00 zurückgesetzt",
     "Weißpunktwert außerhalb des gültigen Bereichs. Wird auf 1,00 zurückgesetzt"},
    {"Niedrig", "Mittel", "Hoch", "Sehr hoch"}};

const TLanguageTexts kIndonesian = {
    "in",
    {"Pratinjau VeSk",
     "Gagal membuka gambar.",
     "Silakan pilih gambar target yang valid.",
     "Silakan pilih berkas referensi.",
     "Berkas Profil ICC (*.icm)|*.icm",
     "Simpan Profil",
     "Profil ICC disimpan ke:",
     "GALAT saat mengambil nilai RGB. Tidak dapat melanjutkan. Periksa apakah jenis target yang dipilih sudah "
     "benar.",
     "GALAT! Pastikan pengguna memiliki hak yang cukup untuk memproses berkas gambar di folder ini dan folder "
     "tersebut tidak hanya-baca.",
     "Program tidak dapat dijalankan.",
     "Tidak ada gambar untuk ditampilkan",
     "Ruang disk tidak cukup. Ruang kosong: ",
     "MB. Ruang minimum yang diperlukan: ",
     "VeSk bekerja dengan jumlah target yang terbatas. Saat ini hanya target berikut yang diterima:",
     "     * Xrite ColorChecker (24 petak)",
     "     * IT8.7",
     "Berkas referensi umum tersedia untuk Xrite ColorChecker dan QPcard; referensi lain seharusnya tersedia "
     "di situs web produsen.",
     "Pastikan Anda memiliki gambar target yang dimaksud dan gambar itu dipotong serta diposisikan dengan "
     "benar.",
     "Jika gambar target mengalami distorsi perspektif, centang kotak agar VeSk mencoba memperbaikinya secara "
     "otomatis." PARA
     "Gamma bawaan adalah 2,2. Gunakan gamma 1,0 untuk gambar dengan gamma linear (mis. hasil konversi RAW "
     "dengan opsi linear).",
     "Untuk menyesuaikan titik putih. Profil yang dihasilkan akan memberi gambar sedikit lebih terang (nilai "
     "di bawah 1,0) atau lebih gelap (di atas 1,0)." PARA PARA
     "Untuk menyesuaikan area gelap (pelemahan -V; 1,00 berarti nonaktif).",
     "Berkas referensi umum hanya tersedia untuk target Xrite ColorChecker 24 petak dan QPcard.",
     "Untuk semua target lain, pilih berkas yang disertakan dengan target atau cari berkas yang sesuai di "
     "situs web produsen.",
     "Pilih Berkas Referensi",
     "Pilih jenis target yang benar dari daftar. VeSk memerlukannya untuk membuat profil yang valid.",
     "Informasi ini penting karena menjelaskan profil, dan beberapa program (seperti Photoshop) memakainya "
     "untuk identifikasi.",
     "Algoritme yang berbeda bekerja lebih baik untuk perangkat yang berbeda. Gamma+Matriks tampaknya paling "
     "baik untuk kamera digital." PARA
     "Kualitas lebih tinggi menghasilkan profil lebih baik. Namun pembuatan profil lebih lama dan ukurannya "
     "lebih besar.",
     "Nilai penekanan area gelap di luar batas yang valid. Dikembalikan ke 1,00",
     "Nilai titik putih di luar batas yang valid. Dikembalikan ke 1,00"},
    {"Rendah", "Sedang", "Tinggi", "Sangat Tinggi"}};

const TLanguageTexts kSpanish = {
    "es",
    {"Vista previa de VeSk",
     "Error al abrir la imagen.",
     "Seleccione una imagen de carta válida.",
     "Seleccione el archivo de referencia.",
     "Archivo de perfil ICC (*.icm)|*.icm",
     "Guardar perfil",
     "Perfil ICC guardado en:",
     "ERROR al extraer los valores RGB. No se puede continuar. Compruebe que el tipo de carta elegido es "
     "correcto.",
     "¡ERROR! Asegúrese de que el usuario tiene permisos suficientes para procesar el archivo de imagen en la "
     "carpeta actual o de que la carpeta no es de solo lectura.",
     "No se puede ejecutar el programa.",
     "No hay imagen para mostrar",
     "No hay espacio suficiente en el disco. Espacio libre: ",
     "MB. Espacio mínimo necesario: ",
     "VeSk trabaja con un número limitado de cartas. Actualmente solo acepta las cartas siguientes:",
     "     * Xrite ColorChecker (24 parches)",
     "     * IT8.7",
     "Hay archivos de referencia genéricos para Xrite ColorChecker y QPcard; las demás referencias deberían "
     "estar disponibles en el sitio web del fabricante.",
     "Asegúrese de tener una imagen de la carta prevista y de que esté correctamente recortada y colocada.",
     "Si la imagen de la carta tiene distorsión de perspectiva, marque la casilla para que VeSk intente "
     "corregirla automáticamente." PARA
     "La gamma predeterminada es 2,2. Use gamma 1,0 para imágenes con gamma lineal (p. ej. convertidas desde "
     "RAW con la opción lineal).",
     "Sirve para ajustar el punto blanco. El perfil resultante producirá imágenes algo más claras (valor "
     "menor que 1,0) o más oscuras (mayor que 1,0)." PARA PARA
     "Sirve para ajustar las zonas oscuras (atenuación -V; 1,00 significa desactivado).",
     "Solo hay archivos de referencia genéricos para la carta Xrite ColorChecker de 24 parches y las QPcard.",
     "Para todas las demás cartas, seleccione el archivo que acompaña a la carta o busque el archivo "
     "correspondiente en el sitio web del fabricante.",
     "Seleccionar archivo de referencia",
     "Seleccione en la lista el tipo de carta correcto. VeSk lo necesita para crear un perfil válido.",
     "Esta información es importante porque describe el perfil y algunos programas (como Photoshop) la usan "
     "para identificarlo.",
     "Cada algoritmo funciona mejor con unos dispositivos u otros. Gamma+Matriz parece dar los mejores "
     "resultados con cámaras digitales." PARA
     "Una calidad mayor da un perfil mejor. Sin embargo, crearlo lleva más tiempo y el perfil es más grande.",
     "Valor de énfasis de zonas oscuras fuera de los límites válidos. Se restablece a 1,00",
     "Valor del punto blanco fuera de los límites válidos. Se restablece a 1,00"},
    {"Baja", "Media", "Alta", "Muy alta"}};

#undef PARA

}  // namespace

const TLanguageTexts& EnglishTexts() { return kEnglish; }

const TLanguageTexts* TranslatedTexts(const std::string& code) {
  for (const TLanguageTexts* texts : {&kCzech, &kPolish, &kFrench, &kGerman, &kIndonesian, &kSpanish})
    if (code == texts->code) return texts;
  return nullptr;
}
