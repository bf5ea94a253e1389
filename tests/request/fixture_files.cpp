#include "request/fixture_files.h"

#include <cjson/cJSON.h>

#include "request/sdk_fixture.h"

namespace rv::test {

std::string fixture_album_name(int64_t id) {
    cJSON *root = cJSON_Parse(
        read_file(std::string(RV_SOURCE_DIR) + "/tools/mock_service/fixtures/catalogue.json")
            .c_str());
    std::string name;
    const cJSON *album = nullptr;
    cJSON_ArrayForEach(album, cJSON_GetObjectItem(root, "albums")) {
        if (static_cast<int64_t>(cJSON_GetNumberValue(cJSON_GetObjectItem(album, "id"))) == id) {
            name = cJSON_GetStringValue(cJSON_GetObjectItem(album, "name"));
        }
    }
    cJSON_Delete(root);
    return name;
}

}  // namespace rv::test
