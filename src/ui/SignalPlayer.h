#pragma once

#include <QHash>
#include <QObject>

class QSoundEffect;

// Plays the start and stop signals asynchronously; a machine without sound stays silent.
class SignalPlayer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    void Play(const QString& file);

private:
    QHash<QString, QSoundEffect*> effects_;
};
