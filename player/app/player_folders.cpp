#include "app/player_folders.h"

#include <cstdio>

#include "catalogue/catalogue_update.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace {

constexpr char kSkinFolder[] = "skin/";
constexpr char kSkinArchive[] = "DefaultSkin.dll";
constexpr char kCatalogueName[] = "datams.dll";
constexpr char kUserFolderName[] = "tarvoni/";

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind(platform::kPathSeparator) + 1); }

// Makes `folder`; says once on stderr when it cannot, naming what it was for.
bool MakeFolder(const std::string& folder, const char* purpose) {
  std::string error;
  if (platform::CreateFolders(folder, &error)) return true;
  std::fprintf(stderr, "tarvoni: cannot create the folder %s for %s (%s)\n", folder.c_str(), purpose, error.c_str());
  return false;
}

}  // namespace

PlayerFolders PortableFolders(const std::string& programFolder) {
  PlayerFolders folders;
  folders.skinFolder = programFolder + kSkinFolder;
  folders.libraryFolder = programFolder;
  folders.cataloguePath = programFolder + kCatalogueName;
  folders.cacheFolder = programFolder + "cache/";
  folders.settingsPath = programFolder + "settings.ini";
  return folders;
}

PlayerFolders FindPlayerFolders(const std::string& programFolder) {
  const bool resourcesBeside = platform::PathExists(programFolder + kSkinFolder + kSkinArchive);
  if (resourcesBeside && platform::FolderIsWritable(programFolder)) return PortableFolders(programFolder);

  PlayerFolders folders;
  const std::string dataFolder = resourcesBeside ? programFolder : programFolder + TARVONI_INSTALLED_DATA_FOLDER "/";
  folders.skinFolder = dataFolder + kSkinFolder;
  folders.libraryFolder = resourcesBeside ? programFolder : programFolder + TARVONI_INSTALLED_LIBRARY_FOLDER "/";
  folders.installedCataloguePath = dataFolder + kCatalogueName;

  const std::string data = platform::UserFolderPath(platform::UserFolder::kData);
  const std::string cache = platform::UserFolderPath(platform::UserFolder::kCache);
  const std::string config = platform::UserFolderPath(platform::UserFolder::kConfig);
  folders.cataloguePath = data.empty() ? std::string() : data + kUserFolderName + kCatalogueName;
  folders.cacheFolder = cache.empty() ? std::string() : cache + kUserFolderName;
  folders.settingsPath = config.empty() ? std::string() : config + kUserFolderName + "settings.ini";
  return folders;
}

void PrepareUserFolders(const PlayerFolders& folders) {
  if (folders.cacheFolder.empty() || folders.cataloguePath.empty() || folders.settingsPath.empty()) {
    std::fprintf(stderr, "tarvoni: no home folder (HOME is not set): the catalogue, its updates, the track cache "
                         "and the settings cannot be kept\n");
  }
  if (!folders.cacheFolder.empty()) MakeFolder(folders.cacheFolder, "the track cache");
  if (!folders.settingsPath.empty()) MakeFolder(FolderOf(folders.settingsPath), "the settings");
  if (folders.installedCataloguePath.empty() || folders.cataloguePath.empty()) return;
  if (!MakeFolder(FolderOf(folders.cataloguePath), "the catalogue")) return;
  std::string shipped;
  if (!platform::ReadWholeFile(folders.installedCataloguePath, &shipped)) return;
  // Installed as a published edition is: only over an older or unreadable one.
  switch (InstallCatalogue(shipped, -1, folders.cataloguePath)) {
    case CatalogueUpdateResult::kReplaced:
    case CatalogueUpdateResult::kNotNewer:
      break;
    case CatalogueUpdateResult::kNotComplete:
      std::fprintf(stderr, "tarvoni: the installed catalogue %s is not a whole catalogue\n",
                   folders.installedCataloguePath.c_str());
      break;
    default:
      std::fprintf(stderr, "tarvoni: cannot copy the catalogue %s to %s\n", folders.installedCataloguePath.c_str(),
                   folders.cataloguePath.c_str());
  }
}
