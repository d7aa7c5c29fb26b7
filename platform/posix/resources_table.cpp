// Resources of a program built for POSIX: the tables that the generated
// sources of vel_embed_resources register when the program starts.
#include "platform/resources.h"

#include <vector>

namespace {
// Filled by static constructors, so it must exist before the first of them runs.
std::vector<EmbeddedResource>& resourceTable() {
    static std::vector<EmbeddedResource> table;
    return table;
}
}  // namespace

ResourceTableRegistrar::ResourceTableRegistrar(const EmbeddedResource* table, int count) {
    for (int i = 0; i < count; ++i) resourceTable().push_back(table[i]);
}

bool platformFindResource(uint16_t number, const void** data, int32_t* size) {
    for (const EmbeddedResource& resource : resourceTable()) {
        if (resource.number == number) {
            if (data) *data = resource.data;
            if (size) *size = resource.size;
            return true;
        }
    }
    return false;
}
