// PostgreSQL engine through libpq: rows are known by ctid.
#include "platform/db_backend.h"

namespace kelvo {

std::unique_ptr<Backend> OpenPostgres(const std::string& uri) {
    throw Error("PostgreSQL is not available in this build yet");
}

}  // namespace kelvo
