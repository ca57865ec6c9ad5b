// The catalogue as a run reads it: once, at the run's start, into memory, where every unit reads
// the same tables (Folio included), so a catalogue changed or replaced during the run (a colleague
// updating it on a shared drive) cannot give different units different catalogues.
#pragma once

#include <memory>
#include <string>

#include "engine/connection.h"
#include "run/run_request.h"

namespace kolt::run {

struct CatalogueSnapshot {
  std::shared_ptr<const engine::DatabaseImage> image;  // of request.catalogue
  // The SHA-256 of the catalogue file the user chose (the Access file itself, not its companion),
  // read while its contents were those of the image; empty when it could not be read.
  std::string sha256;
};

// Reads request.catalogue whole. Throws base::Error when it cannot be read, or when the file the
// user chose changed while it was read (or since its companion was made), so that the run never
// records a fingerprint of other contents than the ones its units read.
CatalogueSnapshot freezeCatalogue(const RunRequest& request);

}  // namespace kolt::run
