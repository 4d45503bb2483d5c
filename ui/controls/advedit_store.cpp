// The enhanced edit's history and its stored text and lists.
#include "platform/rtl/sysutils.h"
#include "ui/controls/advedit.h"
#include "ui/controls/settingsstore.h"

void TAdvEdit::AddToHistory() {
  if (!lookup_->Enabled() || !lookup_->History()) return;
  const std::string value = Trim(GetText());
  if (!value.empty() && lookup_->DisplayList()->IndexOf(value) < 0) lookup_->DisplayList()->Add(value);
}

namespace {

// The store of the persistence settings, with the defaults filled in.
std::unique_ptr<TCustomIniFile> OpenStore(TPersistence& p, const std::string& name) {
  if (p.Location() == plInifile && p.Section().empty()) p.SetSection(name);
  return OpenSettingsStore(p.Location() == plRegistry, p.Key());
}

}  // namespace

void TAdvEdit::LoadPersistence() {
  if (!persistence_->Enable()) return;
  auto store = OpenStore(*persistence_, Name());
  const std::string section = persistence_->Section();
  if (lookup_->Enabled() && lookup_->History()) {
    const int32_t n = store->ReadInteger(section, "LOOKUPCOUNT", 0);
    for (int32_t i = 1; i <= n; ++i) {
      const std::string value = store->ReadString(section, "LOOKUPVAL" + std::to_string(i), "");
      if (!value.empty()) lookup_->ValueList()->Add(value);
      const std::string display = store->ReadString(section, "LOOKUPDISPL" + std::to_string(i), "");
      if (!display.empty()) lookup_->DisplayList()->Add(display);
    }
  }
  const std::string shown = store->ReadString(section, Name(), "@");
  if (shown != "@") SetShownText(shown);
}

void TAdvEdit::SavePersistence() {
  if (!persistence_->Enable()) return;
  auto store = OpenStore(*persistence_, Name());
  const std::string section = persistence_->Section();
  store->WriteString(section, Name(), ShownText());
  if (lookup_->Enabled() && lookup_->History()) {
    const int32_t count = lookup_->DisplayList()->Count();
    store->WriteInteger(section, "LOOKUPCOUNT", count);
    for (int32_t i = 1; i <= count; ++i) {
      store->WriteString(section, "LOOKUPDISPL" + std::to_string(i), lookup_->DisplayList()->Strings(i - 1));
      if (i - 1 < lookup_->ValueList()->Count())
        store->WriteString(section, "LOOKUPVAL" + std::to_string(i), lookup_->ValueList()->Strings(i - 1));
    }
  }
}
