// Values read straight from the local service's fixture files, so tests
// compare records with the source rather than with what the service says.
#ifndef RV_TESTS_REQUEST_FIXTURE_FILES_H
#define RV_TESTS_REQUEST_FIXTURE_FILES_H

#include <cstdint>
#include <string>

namespace rv::test {

// The name of album `id` in catalogue.json ("" when there is none).
std::string fixture_album_name(int64_t id);

}  // namespace rv::test

#endif
