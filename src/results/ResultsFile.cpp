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

// Version 2 adds the ladders. A seed above the field's size is a bye: it has no racer.
const char* const kLadderSchema[] = {
    "CREATE TABLE ladders ("
    " id INTEGER PRIMARY KEY,"
    " day TEXT NOT NULL,"
    " class_info TEXT NOT NULL,"
    " created_at TEXT NOT NULL,"
    " source TEXT NOT NULL,"
    " draw_seed INTEGER,"
    " size INTEGER NOT NULL,"
    " third_place INTEGER NOT NULL,"
    " active INTEGER NOT NULL,"
    " finished INTEGER NOT NULL)",
    "CREATE INDEX ladders_by_day ON ladders (day)",
    "CREATE TABLE ladder_racers ("
    " ladder_id INTEGER NOT NULL,"
    " seed INTEGER NOT NULL,"
    " start_number TEXT NOT NULL,"
    " name TEXT NOT NULL,"
    " first_name TEXT NOT NULL,"
    " vehicle TEXT NOT NULL,"
    " engine TEXT NOT NULL,"
    " class_info TEXT NOT NULL,"
    " standings_place INTEGER,"
    " time TEXT NOT NULL,"
    " place INTEGER,"
    " PRIMARY KEY (ladder_id, seed))",
    "CREATE TABLE ladder_pairings ("
    " ladder_id INTEGER NOT NULL,"
    " round INTEGER NOT NULL,"
    " slot INTEGER NOT NULL,"
    " round_name TEXT NOT NULL,"
    " upper_seed INTEGER,"
    " lower_seed INTEGER,"
    " swapped INTEGER NOT NULL,"
    " no_show INTEGER,"
    " winner INTEGER,"
    " settled INTEGER NOT NULL,"
    " PRIMARY KEY (ladder_id, round, slot))",
    "CREATE TABLE ladder_heats ("
    " ladder_id INTEGER NOT NULL,"
    " round INTEGER NOT NULL,"
    " slot INTEGER NOT NULL,"
    " attempt INTEGER NOT NULL,"
    " start_ticks INTEGER NOT NULL,"
    " day TEXT,"
    " heat INTEGER,"
    " PRIMARY KEY (ladder_id, round, slot, attempt))",
    "CREATE INDEX ladder_heats_by_start ON ladder_heats (start_ticks)",
};

// NULL for "none", as readers of the file expect it.
QVariant NumberOrNull(qint64 value, qint64 none = 0) {
    return value == none ? QVariant() : QVariant(value);
}

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

bool TResultsFile::Prepare(QSqlQuery& query, const QString& statement) {
    if (query.prepare(statement)) return true;
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
    } else if (version < kSchemaVersion) {
        // Each version's tables from the file's version on: an older file keeps its runs.
        if (version < 1)
            for (const char* statement : kSchema)
                ok = ok && Exec(QString::fromLatin1(statement));
        for (const char* statement : kLadderSchema)
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
    if (!query.exec(QStringLiteral("SELECT max(id) FROM ladders")) || !query.next()) {
        Fail(query.lastError());
        return {};
    }
    summary.maxLadderId = query.value(0).toLongLong();
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

std::optional<TLadderRecords> TResultsFile::ReadLadders(QDate day) {
    const QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery ladders(db), racers(db), pairings(db), heats(db), runs(db);
    if (!Prepare(ladders,
                 QStringLiteral("SELECT id, day, class_info, created_at, source, draw_seed, "
                                "third_place, active, finished FROM ladders WHERE day = ? OR "
                                "(day = ? AND finished = 0) ORDER BY id")) ||
        !Prepare(racers, QStringLiteral("SELECT seed, start_number, name, first_name, vehicle, "
                                        "engine, class_info, standings_place, time, place FROM "
                                        "ladder_racers WHERE ladder_id = ? ORDER BY seed")) ||
        !Prepare(pairings, QStringLiteral("SELECT round, slot, upper_seed, lower_seed, swapped, "
                                          "no_show, winner, settled FROM ladder_pairings WHERE "
                                          "ladder_id = ? ORDER BY round, slot")) ||
        !Prepare(heats, QStringLiteral("SELECT round, slot, start_ticks, day, heat FROM "
                                       "ladder_heats WHERE ladder_id = ? ORDER BY round, slot, "
                                       "attempt")) ||
        !Prepare(runs, QStringLiteral("SELECT id, ") + QString::fromLatin1(kColumns) +
                           QStringLiteral(" FROM runs WHERE start_ticks IN (SELECT start_ticks "
                                          "FROM ladder_heats WHERE ladder_id = ?) ORDER BY day, "
                                          "heat, lane, id")))
        return {};
    ladders.addBindValue(day.toString(kDayFormat));
    ladders.addBindValue(day.addDays(-1).toString(kDayFormat));
    if (!Exec(ladders)) return {};
    TLadderRecords read;
    while (ladders.next()) {
        TLadderRecord ladder;
        int i = 0;
        ladder.id = ladders.value(i++).toLongLong();
        ladder.day = QDate::fromString(ladders.value(i++).toString(), kDayFormat);
        ladder.classInfo = ladders.value(i++).toString();
        ladder.createdAt = QDateTime::fromString(ladders.value(i++).toString(), kTimeFormat);
        ladder.source = ladders.value(i++).toString();
        const QVariant seed = ladders.value(i++);
        ladder.drawSeed = seed.isNull() ? -1 : seed.toLongLong();
        for (bool* flag : {&ladder.thirdPlace, &ladder.active, &ladder.finished})
            *flag = ladders.value(i++).toInt() != 0;
        read.append(ladder);
    }
    for (TLadderRecord& ladder : read) {
        for (QSqlQuery* query : {&racers, &pairings, &heats, &runs}) {
            query->bindValue(0, ladder.id);
            if (!Exec(*query)) return {};
        }
        while (racers.next()) {
            TLadderEntrant racer;
            int i = 0;
            racer.seed = racers.value(i++).toInt();
            for (QString* text : {&racer.startNumber, &racer.name, &racer.firstName, &racer.vehicle,
                                  &racer.engine, &racer.classInfo})
                *text = racers.value(i++).toString();
            racer.standingsPlace = racers.value(i++).toInt();
            racer.time = racers.value(i++).toString();
            racer.place = racers.value(i++).toInt();
            ladder.field.append(racer);
        }
        while (pairings.next()) {
            TLadderPairingRecord pairing;
            int i = 0;
            pairing.round = pairings.value(i++).toInt();
            pairing.slot = pairings.value(i++).toInt();
            pairing.seeds[0] = pairings.value(i++).toInt();
            pairing.seeds[1] = pairings.value(i++).toInt();
            pairing.swapped = pairings.value(i++).toInt() != 0;
            pairing.noShow = pairings.value(i++).toInt();
            pairing.winner = pairings.value(i++).toInt();
            pairing.settled = pairings.value(i++).toInt() != 0;
            ladder.pairings.append(pairing);
        }
        while (heats.next()) {
            const int round = heats.value(0).toInt(), slot = heats.value(1).toInt();
            TLadderHeat heat;
            heat.startTicks = heats.value(2).toLongLong();
            heat.day = QDate::fromString(heats.value(3).toString(), kDayFormat);
            heat.heat = heats.value(4).toInt();
            for (TLadderPairingRecord& pairing : ladder.pairings)
                if (pairing.round == round && pairing.slot == slot) pairing.heats.append(heat);
        }
        while (runs.next())
            ladder.runs.append(RunFrom(runs));
    }
    return read;
}

bool TResultsFile::WriteLadder(const TLadderRecord& ladder) {
    if (!RemoveLadder(ladder.id)) return false;
    const QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery query(db);
    if (!Prepare(query, QStringLiteral("INSERT INTO ladders (id, day, class_info, created_at, "
                                       "source, draw_seed, size, third_place, active, finished) "
                                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")))
        return false;
    int size = 2;
    while (size < ladder.field.size())
        size *= 2;
    int i = 0;
    query.bindValue(i++, ladder.id);
    query.bindValue(i++, ladder.day.toString(kDayFormat));
    query.bindValue(i++, Text(ladder.classInfo));
    query.bindValue(i++, ladder.createdAt.toString(kTimeFormat));
    query.bindValue(i++, Text(ladder.source));
    query.bindValue(i++, NumberOrNull(ladder.drawSeed, -1));
    query.bindValue(i++, size);
    for (const bool flag : {ladder.thirdPlace, ladder.active, ladder.finished})
        query.bindValue(i++, int(flag));
    if (!Exec(query)) return false;

    if (!Prepare(query, QStringLiteral("INSERT INTO ladder_racers (ladder_id, seed, start_number, "
                                       "name, first_name, vehicle, engine, class_info, "
                                       "standings_place, time, place) VALUES (?, ?, ?, ?, ?, ?, "
                                       "?, ?, ?, ?, ?)")))
        return false;
    for (const TLadderEntrant& racer : ladder.field) {
        i = 0;
        query.bindValue(i++, ladder.id);
        query.bindValue(i++, racer.seed);
        for (const QString* text : {&racer.startNumber, &racer.name, &racer.firstName,
                                    &racer.vehicle, &racer.engine, &racer.classInfo})
            query.bindValue(i++, Text(*text));
        query.bindValue(i++, NumberOrNull(racer.standingsPlace));
        query.bindValue(i++, Text(racer.time));
        query.bindValue(i++, NumberOrNull(racer.place));
        if (!Exec(query)) return false;
    }

    QSqlQuery heats(db);
    if (!Prepare(query, QStringLiteral("INSERT INTO ladder_pairings (ladder_id, round, slot, "
                                       "round_name, upper_seed, lower_seed, swapped, no_show, "
                                       "winner, settled) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) ||
        !Prepare(heats, QStringLiteral("INSERT INTO ladder_heats (ladder_id, round, slot, "
                                       "attempt, start_ticks, day, heat) VALUES (?, ?, ?, ?, ?, "
                                       "?, ?)")))
        return false;
    for (const TLadderPairingRecord& pairing : ladder.pairings) {
        i = 0;
        query.bindValue(i++, ladder.id);
        query.bindValue(i++, pairing.round);
        query.bindValue(i++, pairing.slot);
        query.bindValue(i++, Text(pairing.name));
        query.bindValue(i++, NumberOrNull(pairing.seeds[0]));
        query.bindValue(i++, NumberOrNull(pairing.seeds[1]));
        query.bindValue(i++, int(pairing.swapped));
        query.bindValue(i++, NumberOrNull(pairing.noShow));
        query.bindValue(i++, NumberOrNull(pairing.winner));
        query.bindValue(i++, int(pairing.settled));
        if (!Exec(query)) return false;
        for (int attempt = 0; attempt < pairing.heats.size(); ++attempt) {
            const TLadderHeat& heat = pairing.heats[attempt];
            i = 0;
            heats.bindValue(i++, ladder.id);
            heats.bindValue(i++, pairing.round);
            heats.bindValue(i++, pairing.slot);
            heats.bindValue(i++, attempt + 1);
            heats.bindValue(i++, heat.startTicks);
            heats.bindValue(i++, heat.day.isValid() ? QVariant(heat.day.toString(kDayFormat))
                                                    : QVariant());
            heats.bindValue(i++, NumberOrNull(heat.heat));
            if (!Exec(heats)) return false;
        }
    }
    return true;
}

bool TResultsFile::RemoveLadder(qint64 id) {
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    for (const char* statement :
         {"DELETE FROM ladders WHERE id = ?", "DELETE FROM ladder_racers WHERE ladder_id = ?",
          "DELETE FROM ladder_pairings WHERE ladder_id = ?",
          "DELETE FROM ladder_heats WHERE ladder_id = ?"}) {
        if (!Prepare(query, QString::fromLatin1(statement))) return false;
        query.addBindValue(id);
        if (!Exec(query)) return false;
    }
    return true;
}
