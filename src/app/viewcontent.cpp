#include "viewcontent.h"

#include "store/stdfuncs.h"

namespace {

std::string YesNo(std::uint8_t flag) {
  return flag == 1 ? "Yes" : "No";
}

std::string ServerKind(const TDetailInfo& info) {
  const std::string type = info.ServerType == 'd' ? "Dedicated" : "Linsten";
  const std::string os = info.ServerOS == 'l' ? " / Linux" : " / Windows";
  return type + os;
}

}  // namespace

std::vector<TitledValue> DetailRows(const TDetailInfo& info) {
  std::vector<TitledValue> rows = {
      {"Server Name", info.ServerName},
      {"Server IP", info.ServerAddress},
      {"Game", info.GameName},
      {"running Map", info.MapName},
      {"Player connected / max",
       std::to_string(info.PlayerCount) + "/" + std::to_string(info.MaxPlayers)},
      {"Password", YesNo(info.HasPassword)},
      {"Server Type / OS", ServerKind(info)},
  };
  if (info.IsMod == 1) {
    rows.push_back({"Mod URL / Download URL", info.ModInfoUrl + " / " + info.ModDownloadUrl});
    rows.push_back({"Mod Size", std::to_string(info.ModSize)});
    rows.push_back({"Mod Version", std::to_string(info.ModVersion)});
    rows.push_back({"\"Serveronly\" Mod", YesNo(info.ModServerOnly)});
    rows.push_back({"Clientside Mod", YesNo(info.ModClientDll)});
  }
  return rows;
}

std::string ByteCountForm(std::int32_t count) {
  if (count <= 100000) return FormatThousands(count);
  return FormatThousands(count / 1000) + "k";
}

std::string ByteCounterCaption(std::int32_t sent, std::int32_t received) {
  return "Bytes Send: " + ByteCountForm(sent) + " / Bytes Recieved: " + ByteCountForm(received);
}
