#include "support/corpus_pictures.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>

#include "image/picture_reader.h"

namespace pdf417read::detail {

namespace {

bool isPicture(const std::string& name) {
  static const char* kExtensions[] = {".png", ".bmp", ".jpg", ".jpeg", ".gif"};
  for (const char* extension : kExtensions) {
    std::string e = extension;
    if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0) return true;
  }
  return false;
}

void collect(const std::string& folder, std::vector<CorpusPicture>* pictures) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name[0] == '.') continue;
    std::string path = folder + "/" + name;
    if (entry->d_type == DT_DIR) {
      collect(path, pictures);
      continue;
    }
    if (!isPicture(name)) continue;
    int width = 0, height = 0;
    unsigned char* gray = loadPictureGray(path.c_str(), &width, &height);
    if (!gray) continue;
    CorpusPicture picture;
    size_t slash = path.rfind('/', path.rfind('/') - 1);
    picture.name = slash == std::string::npos ? path : path.substr(slash + 1);
    picture.picture = adoptPicture(gray, width, height);
    std::string stem = path.substr(0, path.rfind('.'));
    std::vector<unsigned char> expected = readBytes(stem + ".txt");
    if (expected.empty()) expected = readBytes(stem + ".bin");
    picture.expected.assign(expected.begin(), expected.end());
    pictures->push_back(picture);
  }
  closedir(dir);
}

}  // namespace

std::vector<CorpusPicture> loadCorpus(const std::string& folder) {
  std::vector<CorpusPicture> pictures;
  collect(folder, &pictures);
  std::sort(pictures.begin(), pictures.end(),
            [](const CorpusPicture& a, const CorpusPicture& b) { return a.name < b.name; });
  return pictures;
}

}  // namespace pdf417read::detail
