#include "ResultsFile.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QVariant>

namespace {

// SQLite's primary result codes that call for a reason of their own.
enum : int {
    kSqliteBusy = 5,
    kSqliteLocked = 6,
    kSqliteCorrupt = 11,
    kSqliteFull = 13,
    kSqliteCantOpen = 14,
    kSqliteNotADatabase = 26,
};

const QString kDayFormat = QStringLiteral("yyyy-MM-dd");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz");

// The columns after id, in the order the statements bind and read them.
const char* const kColumns =
    "day, heat, started_at, start_ticks, lane, start_number, name, first_name, vehicle, engine, "
    "class_info, reaction, intermediate, speed, final_time, final_ms, speed_kmh, winner, "
    "false_start, crashed, voided, void_reason, warnings, opponent_number";
constexpr int kColumnCount = 24;

// Organisers read this table with their own tools: plain types, a day as text, NULL for a time
// or speed that does not exist.
const char* const kSchema[] = {
    "CREATE TABLE runs ("
    " id INTEGER PRIMARY KEY,"
    " day TEXT NOT NULL,"
    " heat INTEGER NOT NULL,"
    " started_at TEXT NOT NULL,"
    " start_ticks INTEGER NOT NULL,"
    " lane INTEGER NOT NULL,"
    " start_number TEXT NOT NULL,"
    " name TEXT NOT NULL,"
    " first_name TEXT NOT NULL,"
    " vehicle TEXT NOT NULL,"
    " engine TEXT NOT NULL,"
    " class_info TEXT NOT NULL,"
    " reaction TEXT NOT NULL,"
    " intermediate TEXT NOT NULL,"
    " speed TEXT NOT NULL,"
    " final_time TEXT NOT NULL,"
    " final_ms INTEGER,"
    " speed_kmh REAL,"
    " winner INTEGER NOT NULL,"
    " false_start INTEGER NOT NULL,"
    " crashed INTEGER NOT NULL,"
    " voided INTEGER NOT NULL,"
    " void_reason TEXT NOT NULL,"
    " warnings TEXT NOT NULL,"
    " opponent_number TEXT NOT NULL)",
    "CREATE INDEX runs_by_day ON runs (day, heat, lane)",
    "CREATE INDEX runs_by_start_number ON runs (start_number, day)",
};

// Qt SQL binds a null string as NULL; the text columns hold empty text instead.
QString Text(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

QString UniqueConnectionName(const void* file) {
    return QStringLiteral("rennuhr-results-%1").arg(quintptr(file), 0, 16);
}

TRun RunFrom(const QSqlQuery& query) {
    TRun run;
    int i = 0;
    run.id = query.value(i++).toLongLong();
    run.day = QDate::fromString(query.value(i++).toString(), kDayFormat);
    run.heat = query.value(i++).toInt();
    run.startedAt = QDateTime::fromString(query.value(i++).toString(), kTimeFormat);
    run.startTicks = query.value(i++).toLongLong();
    run.lane = query.value(i++).toInt();
    for (QString* text :
         {&run.startNumber, &run.name, &run.firstName, &run.vehicle, &run.engine, &run.classInfo,
          &run.reaction, &run.intermediate, &run.speed, &run.finalTime})
        *text = query.value(i++).toString();
    const QVariant ms = query.value(i++);
    run.finalMs = ms.isNull() ? -1 : ms.toLongLong();
    const QVariant kmh = query.value(i++);
    run.speedKmh = kmh.isNull() ? -1.0 : kmh.toDouble();
    for (bool* flag : {&run.winner, &run.falseStart, &run.crashed, &run.voided})
        *flag = query.value(i++).toInt() != 0;
    run.voidReason = query.value(i++).toString();
    const QString warnings = query.value(i++).toString();
    run.warnings = warnings.isEmpty() ? QStringList() : warnings.split(u'\n');
    run.opponentNumber = query.value(i++).toString();
    return run;
}

} // namespace

TResultsFile::TResultsFile(QString fileName)
    : fileName_(std::move(fileName)), connection_(UniqueConnectionName(this)) {}

TResultsFile::~TResultsFile() {
    Close();
}

bool TResultsFile::Fail(const QString& reason, const QString& detail) {
    failure_ = FileWriteResult(false, WriteErrorText(fileName_) + u'\n' + detail, reason);
    return false;
}

bool TResultsFile::Fail(const QSqlError& error) {
    QString reason;
    const int code = error.nativeErrorCode().toInt() & 0xff; // an extended code holds the primary
    switch (code) {
    case kSqliteFull:
        reason = QStringLiteral("Datenträger voll");
        break;
    case kSqliteCorrupt:
    case kSqliteNotADatabase:
        reason = QStringLiteral("Datei beschädigt");
        break;
    case kSqliteBusy:
    case kSqliteLocked:
        reason = QStringLiteral("von einem anderen Programm gesperrt");
        break;
    default:
        // The file system knows better why: a full disk, no permission, a missing folder (which
        // is not made here: it may be a drive that is not plugged in).
        if (!QFileInfo(QFileInfo(fileName_).absolutePath()).isDir())
            reason = QStringLiteral("Ordner fehlt");
        else if (QFileInfo(fileName_).isDir())
            reason = QStringLiteral("ein Ordner trägt diesen Namen");
        else
            reason = WriteProblem(fileName_);
        if (reason.isEmpty() && code == kSqliteCantOpen)
            reason = QStringLiteral("Datei kann nicht geöffnet werden");
        if (reason.isEmpty()) reason = QStringLiteral("Datenbankfehler: ") + error.databaseText();
        break;
    }
    return Fail(reason, error.text());
}

bool TResultsFile::Exec(QSqlQuery& query) {
    if (query.exec()) return true;
    return Fail(query.lastError());
}

bool TResultsFile::Exec(const QString& statement) {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    if (query.exec(statement)) return true;
    return Fail(query.lastError());
}

bool TResultsFile::Open() {
    if (open_) return true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(fileName_);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!db.open()) {
            Fail(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection_);
            return false;
        }
    }
    open_ = true;
    // The schema first: a file that is not ours is left exactly as it is. Then WAL: a reader
    // never holds up the writer, and a kill leaves the last commit intact. FULL syncs each
    // commit, so a finished heat survives a power cut too.
    if (!PrepareSchema() || !Exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !Exec(QStringLiteral("PRAGMA synchronous=FULL"))) {
        const FileWriteResult failure = failure_;
        Close();
        failure_ = failure;
        return false;
    }
    upsert_.emplace(QSqlDatabase::database(connection_, false));
    const QString columns = QString::fromLatin1(kColumns);
    QString updates;
    for (const QString& column : columns.split(QStringLiteral(", ")))
        updates += (updates.isEmpty() ? QString() : QStringLiteral(", ")) + column +
                   QStringLiteral(" = excluded.") + column;
    QString values = QStringLiteral("?");
    for (int i = 0; i < kColumnCount; ++i)
        values += QStringLiteral(", ?");
    if (!upsert_->prepare(QStringLiteral("INSERT INTO runs (id, ") + columns +
                          QStringLiteral(") VALUES (") + values +
                          QStringLiteral(") ON CONFLICT (id) DO UPDATE SET ") + updates)) {
        Fail(upsert_->lastError());
        const FileWriteResult failure = failure_;
        Close();
        failure_ = failure;
        return false;
    }
    return true;
}

bool TResultsFile::PrepareSchema() {
    if (!Exec(QStringLiteral("BEGIN IMMEDIATE"))) return false;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    int version = -1;
    int objects = -1;
    if (query.exec(QStringLiteral("PRAGMA user_version")) && query.next())
        version = query.value(0).toInt();
    if (query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) && query.next())
        objects = query.value(0).toInt();
    query.finish();
    bool ok = version >= 0 && objects >= 0;
    if (!ok) {
        Fail(query.lastError());
    } else if (version == 0 && objects > 0) {
        ok = Fail(QStringLiteral("keine Ergebnisdatenbank"),
                  QStringLiteral("Die Datei enthält andere Tabellen; sie bleibt unverändert."));
    } else if (version > kSchemaVersion) {
        ok =
            Fail(QStringLiteral("von einer neueren Programmversion"),
                 QStringLiteral("Die Datei hat die Schemaversion %1; dieses Programm kennt bis %2. "
                                "Sie bleibt unverändert.")
                     .arg(version)
                     .arg(kSchemaVersion));
    } else if (version == 0) {
        for (const char* statement : kSchema)
            ok = ok && Exec(QString::fromLatin1(statement));
        ok = ok && Exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
    }
    if (ok) return Commit();
    Rollback();
    return false;
}

void TResultsFile::Close() {
    upsert_.reset();
    if (!open_ && !QSqlDatabase::contains(connection_)) return;
    open_ = false;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

std::optional<TResultsFile::Summary> TResultsFile::ReadSummary() {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    Summary summary;
    if (!query.exec(QStringLiteral("SELECT max(id) FROM runs")) || !query.next()) {
        Fail(query.lastError());
        return {};
    }
    summary.maxId = query.value(0).toLongLong();
    if (!query.exec(QStringLiteral("SELECT day, max(heat) FROM runs GROUP BY day"))) {
        Fail(query.lastError());
        return {};
    }
    while (query.next())
        summary.heats.insert(QDate::fromString(query.value(0).toString(), kDayFormat),
                             query.value(1).toInt());
    return summary;
}

std::optional<TRuns> TResultsFile::ReadDay(QDate day) {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, ") + QString::fromLatin1(kColumns) +
                  QStringLiteral(" FROM runs WHERE day = ? ORDER BY heat, lane, id"));
    query.addBindValue(day.toString(kDayFormat));
    if (!query.exec()) {
        Fail(query.lastError());
        return {};
    }
    TRuns runs;
    while (query.next())
        runs.append(RunFrom(query));
    return runs;
}

bool TResultsFile::Begin() {
    return Exec(QStringLiteral("BEGIN IMMEDIATE"));
}

bool TResultsFile::Commit() {
    return Exec(QStringLiteral("COMMIT"));
}

void TResultsFile::Rollback() {
    QSqlQuery(QSqlDatabase::database(connection_, false)).exec(QStringLiteral("ROLLBACK"));
}

bool TResultsFile::Upsert(const TRun& run) {
    QSqlQuery& query = *upsert_;
    int i = 0;
    query.bindValue(i++, run.id);
    query.bindValue(i++, run.day.toString(kDayFormat));
    query.bindValue(i++, run.heat);
    query.bindValue(i++, run.startedAt.toString(kTimeFormat));
    query.bindValue(i++, run.startTicks);
    query.bindValue(i++, run.lane);
    for (const QString* text :
         {&run.startNumber, &run.name, &run.firstName, &run.vehicle, &run.engine, &run.classInfo,
          &run.reaction, &run.intermediate, &run.speed, &run.finalTime})
        query.bindValue(i++, Text(*text));
    query.bindValue(i++, run.finalMs >= 0 ? QVariant(run.finalMs) : QVariant());
    query.bindValue(i++, run.speedKmh >= 0 ? QVariant(run.speedKmh) : QVariant());
    for (const bool flag : {run.winner, run.falseStart, run.crashed, run.voided})
        query.bindValue(i++, int(flag));
    query.bindValue(i++, Text(run.voidReason));
    query.bindValue(i++, Text(run.warnings.join(u'\n')));
    query.bindValue(i++, Text(run.opponentNumber));
    return Exec(query);
}

bool TResultsFile::SetVoid(const QList<qint64>& ids, bool voided, const QString& reason) {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("UPDATE runs SET voided = ?, void_reason = ? WHERE id = ?"));
    for (const qint64 id : ids) {
        query.bindValue(0, int(voided));
        query.bindValue(1, Text(voided ? reason : QString()));
        query.bindValue(2, id);
        if (!Exec(query)) return false;
    }
    return true;
}
