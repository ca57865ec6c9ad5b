#include "run/catalogue_snapshot.h"

#include "access/companion.h"
#include "access/import.h"
#include "base/platform/files.h"
#include "run/file_fingerprint.h"

namespace kolt::run {
namespace {

bool sameStamp(const platform::FileStamp& a, const platform::FileStamp& b) {
  return a.size == b.size && a.modifiedNs == b.modifiedNs && a.changedNs == b.changedNs &&
         a.device == b.device && a.inode == b.inode;
}

std::int64_t number(const base::Value& value) {
  const auto* n = std::get_if<std::int64_t>(&value);
  return n ? *n : -1;
}

// Whether the companion in `image` was made from the file `chosen` describes: the run start
// found the companion current, but the file may have been replaced since.
bool madeFrom(const engine::DatabaseImage& image, const platform::FileStamp& chosen) {
  engine::Connection cnn;
  cnn.openImage(image);
  engine::Recordset origin = cnn.openRecordset(
      std::string("SELECT tamano, modificado, cambiado, dispositivo, nodo FROM ") +
      access::kCompanionOriginTable);
  if (origin.eof()) return false;
  return number(origin.field("tamano")) == chosen.size &&
         number(origin.field("modificado")) == chosen.modifiedNs &&
         number(origin.field("cambiado")) == chosen.changedNs &&
         number(origin.field("dispositivo")) == static_cast<std::int64_t>(chosen.device) &&
         number(origin.field("nodo")) == static_cast<std::int64_t>(chosen.inode);
}

}  // namespace

CatalogueSnapshot freezeCatalogue(const RunRequest& request) {
  const std::filesystem::path& chosen =
      request.catalogueFile.empty() ? request.catalogue : request.catalogueFile;
  const auto before = platform::fileStamp(chosen);
  CatalogueSnapshot snapshot;
  snapshot.image = std::make_shared<const engine::DatabaseImage>(request.catalogue);
  std::error_code ec;
  const bool companion = !std::filesystem::equivalent(chosen, request.catalogue, ec);
  if (before) {
    if (auto sha256 = fileSha256(chosen)) snapshot.sha256 = *sha256;
  }
  const auto after = platform::fileStamp(chosen);
  // The fingerprint must be of what the units read: the same file from before the image was
  // read to after it was hashed, and, for an Access file, the one its companion was made from.
  const bool unchanged = before && after && sameStamp(*before, *after) &&
                         (!companion || madeFrom(*snapshot.image, *before));
  if (!unchanged) throw access::changedWhileRead(chosen);
  return snapshot;
}

}  // namespace kolt::run
