// How the PostgreSQL engine names rows and tables: key identities, row addresses, and the
// stamp of a table's catalog rows.
#pragma once

#include <string>
#include <vector>

#include "platform/db/postgres_wire.h"

namespace kelvo::postgres {

// How the rows of one table are named. A key row's identity is the text[] literal of its
// key columns' values; each value is cast back to its column's type so indexes serve.
struct RowIdentity {
    std::vector<std::string> columns;  // quoted; empty: ctid
    std::vector<std::string> types;    // as the catalog spells them

    // The identity's text, of the table's columns prefixed by `qualifier` ("" or `t.`).
    std::string select(const std::string& qualifier = "") const;
    // True of the row whose identity is parameter $n.
    std::string matchOne(int n) const;
    // True of the rows whose identities are in the array parameter $n.
    std::string matchAny(int n) const;
    std::string order(const std::string& qualifier) const;
};

// Row keys as one array literal, bound as a single parameter.
std::string keyArray(const std::vector<RowKey>& keys);

// The versions of the catalog rows that describe table `oid` (an SQL expression): its own
// row, its columns and its indexes. Any change to them, or the table made again, changes the
// text; statistics written in place do not. Null when no such table exists.
std::string catalogStamp(const std::string& oid);

// Row addresses (ctid) sent in binary, four bytes of block and two of item, big-endian,
// put in the server's order here and written as the server writes them: "(block,item)".
// Sorting here spares the server a sort and the text form of every address.
RowKeys sortedRowAddresses(const Result& result);

}  // namespace kelvo::postgres
