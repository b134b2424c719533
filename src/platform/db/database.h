// ADO-like database access: Connection, Recordset and Field over SQLite or PostgreSQL.
// No value is ever spliced into SQL text: statements are built from checked, quoted
// identifiers and bound parameters. Every failure throws kelvo::Error with the engine's text.
#pragma once

#include "platform/db/connection.h"
#include "platform/db/field.h"
#include "platform/db/recordset.h"
