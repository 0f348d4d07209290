#include "SaveBytes.h"

#include <QDir>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <mutex>

namespace {

const QString kTemporaryMark = QStringLiteral(".rennuhr-tmp-");
constexpr int kRandomLength = 6;

std::mutex& CallMutex() {
    static std::mutex mutex;
    return mutex;
}

FileWriteCall& Call() {
    static FileWriteCall call;
    return call;
}

} // namespace

QString TemporaryFileName(const QString& fileName) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString name = fileName + kTemporaryMark;
    for (int i = 0; i < kRandomLength; ++i)
        name += QChar::fromLatin1(letters[QRandomGenerator::global()->bounded(62)]);
    return name;
}

int RemoveStrayTemporaryFiles(const QString& folder, const QString& namePrefix) {
    if (folder.isEmpty()) return 0;
    const QRegularExpression ours(
        QStringLiteral("^%1.*%2[A-Za-z0-9]{%3}$")
            .arg(QRegularExpression::escape(namePrefix), QRegularExpression::escape(kTemporaryMark))
            .arg(kRandomLength));
    QDir dir(folder);
    int removed = 0;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (ours.match(name).hasMatch() && dir.remove(name)) ++removed;
    return removed;
}

void SetFileWriteCall(FileWriteCall call) {
    std::lock_guard lock(CallMutex());
    Call() = std::move(call);
}

FileWriteCall ActiveFileWriteCall() {
    std::lock_guard lock(CallMutex());
    return Call();
}

QString WriteErrorText(const QString& fileName) {
    return QStringLiteral("Der Schreibfehler der Datei: ") + fileName;
}
