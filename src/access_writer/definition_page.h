// Page 0 of a Jet 4 file: the database definition.
#pragma once

#include "access_writer/page_layout.h"

namespace kolt::access_writer {

// The definition page of a new, unencrypted database without a password, created at
// `creationSerial` (an Access date: days since 1899-12-30).
Page definitionPage(double creationSerial);

}  // namespace kolt::access_writer
