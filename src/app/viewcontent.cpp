#include "viewcontent.h"

#include <QtGlobal>

namespace {

const char* YesNo(std::uint8_t flag) {
  return flag == 1 ? QT_TRANSLATE_NOOP("Tfrm_main", "Yes") : QT_TRANSLATE_NOOP("Tfrm_main", "No");
}

const char* ServerKind(const TDetailInfo& info) {
  const bool dedicated = info.ServerType == 'd';
  if (info.ServerOS == 'l')
    return dedicated ? QT_TRANSLATE_NOOP("Tfrm_main", "Dedicated / Linux")
                     : QT_TRANSLATE_NOOP("Tfrm_main", "Linsten / Linux");
  return dedicated ? QT_TRANSLATE_NOOP("Tfrm_main", "Dedicated / Windows")
                   : QT_TRANSLATE_NOOP("Tfrm_main", "Linsten / Windows");
}

}  // namespace

std::vector<TitledValue> DetailRows(const TDetailInfo& info, const A2sInfo* a2s) {
  std::vector<TitledValue> rows = {
      {QT_TRANSLATE_NOOP("Tfrm_main", "Server Name"), info.ServerName},
      {QT_TRANSLATE_NOOP("Tfrm_main", "Server IP"), info.ServerAddress},
      {QT_TRANSLATE_NOOP("Tfrm_main", "Game"), info.GameName},
      {QT_TRANSLATE_NOOP("Tfrm_main", "running Map"), info.MapName},
      {QT_TRANSLATE_NOOP("Tfrm_main", "Player connected / max"),
       std::to_string(info.PlayerCount) + "/" + std::to_string(info.MaxPlayers)},
      {QT_TRANSLATE_NOOP("Tfrm_main", "Password"), YesNo(info.HasPassword), true},
      {QT_TRANSLATE_NOOP("Tfrm_main", "Server Type / OS"), ServerKind(info), true},
  };
  if (info.IsMod == 1) {
    rows.push_back({QT_TRANSLATE_NOOP("Tfrm_main", "Mod URL / Download URL"),
                    info.ModInfoUrl + " / " + info.ModDownloadUrl});
    rows.push_back({QT_TRANSLATE_NOOP("Tfrm_main", "Mod Size"), std::to_string(info.ModSize)});
    rows.push_back(
        {QT_TRANSLATE_NOOP("Tfrm_main", "Mod Version"), std::to_string(info.ModVersion)});
    rows.push_back(
        {QT_TRANSLATE_NOOP("Tfrm_main", "\"Serveronly\" Mod"), YesNo(info.ModServerOnly), true});
    rows.push_back(
        {QT_TRANSLATE_NOOP("Tfrm_main", "Clientside Mod"), YesNo(info.ModClientDll), true});
  }
  if (a2s) {
    rows.push_back({QT_TRANSLATE_NOOP("Tfrm_main", "Bots"), std::to_string(a2s->bots)});
    rows.push_back({QT_TRANSLATE_NOOP("Tfrm_main", "Version"), a2s->version.value_or("")});
    rows.push_back({QT_TRANSLATE_NOOP("Tfrm_main", "VAC"), YesNo(a2s->vac.value_or(0)), true});
    rows.push_back({QT_TRANSLATE_NOOP("Tfrm_main", "Keywords"), a2s->keywords.value_or("")});
  }
  return rows;
}

ByteCount ByteCountForm(std::int32_t count) {
  if (count <= 100000) return {count, false};
  return {count / 1000, true};
}
