#include "platform/db/postgres_identity.h"

#include <algorithm>

#include "platform/error.h"

namespace kelvo::postgres {

std::string RowIdentity::select(const std::string& qualifier) const {
    if (columns.empty()) return qualifier + "ctid::text";
    std::string list;
    for (const std::string& column : columns)
        list += (list.empty() ? "" : ", ") + qualifier + column + "::text";
    return "ARRAY[" + list + "]::text";
}

std::string RowIdentity::matchOne(int n) const {
    if (columns.empty()) return "ctid = " + dollar(n) + "::tid";
    std::string match;
    for (std::size_t i = 0; i < columns.size(); ++i)
        match += (i ? " AND " : "") + columns[i] + " = (" + dollar(n) + "::text[])[" +
                 std::to_string(i + 1) + "]::" + types[i];
    return match;
}

std::string RowIdentity::matchAny(int n) const {
    if (columns.empty()) return "ctid = ANY(" + dollar(n) + "::tid[])";
    std::string names, parts;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        names += (i ? ", " : "") + columns[i];
        parts += (i ? ", " : "") + std::string("(kelvo_key::text[])[") + std::to_string(i + 1) +
                 "]::" + types[i];
    }
    return "(" + names + ") IN (SELECT " + parts + " FROM unnest(" + dollar(n) +
           "::text[]) AS kelvo_key)";
}

std::string RowIdentity::order(const std::string& qualifier) const {
    if (columns.empty()) return qualifier + "ctid";
    std::string list;
    for (const std::string& column : columns)
        list += (list.empty() ? "" : ", ") + qualifier + column;
    return list;
}

std::string keyArray(const std::vector<RowKey>& keys) {
    std::string array = "{";
    for (const RowKey& key : keys) {
        array += array.size() > 1 ? ",\"" : "\"";
        for (char c : key.toText()) {
            if (c == '"' || c == '\\') array += '\\';
            array += c;
        }
        array += '"';
    }
    return array + "}";
}

std::string catalogStamp(const std::string& oid) {
    return "(SELECT c.xmin::text || '/' || (SELECT string_agg(a.xmin::text, ',' ORDER BY "
           "a.attnum) FROM pg_catalog.pg_attribute a WHERE a.attrelid = c.oid) || '/' || "
           "coalesce((SELECT string_agg(i.xmin::text, ',' ORDER BY i.indexrelid) FROM "
           "pg_catalog.pg_index i WHERE i.indrelid = c.oid), '') FROM pg_catalog.pg_class c "
           "WHERE c.oid = " +
           oid + ")";
}

RowKeys sortedRowAddresses(const Result& result) {
    std::vector<std::pair<std::uint32_t, std::uint16_t>> addresses;
    addresses.reserve(static_cast<std::size_t>(result.rows()));
    for (int i = 0; i < result.rows(); ++i) {
        if (result.isNull(i, 0)) continue;  // a row of something else sent alongside
        const Bytes tid = result.bytes(i, 0);
        if (tid.size() != 6) throw Error("unexpected row address from PostgreSQL");
        addresses.emplace_back(std::uint32_t(tid[0]) << 24 | std::uint32_t(tid[1]) << 16 |
                                   std::uint32_t(tid[2]) << 8 | tid[3],
                               std::uint16_t(tid[4] << 8 | tid[5]));
    }
    std::sort(addresses.begin(), addresses.end());
    RowKeys keys;
    keys.reserve(addresses.size());
    for (const auto& [block, item] : addresses)
        keys.push_back(RowKey("(" + std::to_string(block) + "," + std::to_string(item) + ")"));
    return keys;
}

}  // namespace kelvo::postgres
