// Connection and its read and write scopes, over the engine seam of engine.h.
#include "platform/db/connection.h"

#include "platform/db/engine.h"

namespace kelvo {
namespace {

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

std::shared_ptr<Connection> Connection::Open(const std::string& target) {
    if (startsWith(target, "postgresql://") || startsWith(target, "postgres://"))
        return std::make_shared<Connection>(OpenPostgres(target));
    return std::make_shared<Connection>(OpenSqlite(target));
}

Connection::Connection(std::unique_ptr<kelvo::Engine> engine) : engine_(std::move(engine)) {}
Connection::~Connection() = default;

bool Connection::IsOpen() const {
    return engine_ != nullptr;
}
void Connection::Close() {
    engine_.reset();
}

kelvo::Engine& Connection::engine() const {
    if (!engine_) throw Error("operation is not allowed when the connection is closed");
    return *engine_;
}

Connection::ReadsTogether::ReadsTogether(Connection* connection)
    : connection_(connection), engine_(connection ? connection->engine_.get() : nullptr) {
    if (engine_) engine_->BeginReads();
}

Connection::ReadsTogether::~ReadsTogether() {
    if (engine_ && connection_->engine_.get() == engine_) engine_->EndReads();
}

Connection::WritesTogether::WritesTogether(Connection& connection) : connection_(connection) {
    connection_.engine().BeginWrites();
}

Connection::WritesTogether::~WritesTogether() {
    if (!open_ || !connection_.IsOpen()) return;
    try {
        connection_.engine().RollbackWrites();
    } catch (const Error&) {
    }
}

void Connection::WritesTogether::Commit() {
    connection_.engine().CommitWrites();
    open_ = false;
}

std::string Connection::Engine() const {
    return engine().Name();
}

void Connection::WaitForWritersOf(const std::string& key) {
    engine().WaitForWritersOf(key);
}

void Connection::Execute(const std::string& sql, const std::vector<Variant>& params) {
    engine().Execute(sql, params);
}

void Connection::ExecuteUpdate(const std::string& table, const std::vector<Assignment>& set,
                               const std::vector<Condition>& where) {
    kelvo::Engine& engine = this->engine();
    const TableInfo info = engine.Table(table);
    if (set.empty()) throw Error("UPDATE of table \"" + info.name + "\" sets no column");
    engine.ExecuteUpdate(info, BindToColumns(info, set), BindToColumns(info, where));
}

void Connection::ExecuteDelete(const std::string& table, const std::vector<Condition>& where) {
    kelvo::Engine& engine = this->engine();
    const TableInfo info = engine.Table(table);
    engine.ExecuteDelete(info, BindToColumns(info, where));
}

}  // namespace kelvo
