#pragma once

#include "sim/CSimConsole.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <random>

// The six operations by their buttons' captions, and the letter of each one's reply.
enum Operation { OpReadBase, OpWriteBase, OpReadNumber, OpWriteNumber, OpReadSetup, OpWriteSetup };
inline const char* const operationNames[] = {"Read Base",    "Write Base", "Read Number",
                                             "Write Number", "Read Setup", "Write Setup"};
inline const char replyLetters[] = {'B', 'B', 'O', 'O', 'U', 'U'};

inline const QStringList receiveErrors = {"Ошибка CRC телеграммы", "Ошибка приема телеграммы",
                                          "Не верный тип телеграммы",
                                          "Тайм-аут при приеме телеграммы"};
inline const QString noLink = "Нет связи с ПЦН";

// How likely each misbehaviour of the console is in one operation. Faults that
// make an operation end without an answer ("fatal") cost 120 ticks each, so a
// soak over a real line keeps them rarer than one in simulated time.
struct FaultMix {
    double fatal = 0.2;     // silence, bad checksum, bad framing, partial, wrong letter, 4th copy
    double lateCopy = 0.15; // answers only the 2nd or 3rd copy of a request
    double twice = 0.15;    // every reply goes out twice
    double noise = 0.15;    // bytes outside telegrams around each reply
    double chatter = 0.15;  // a T, I or A telegram before each reply
};

inline bool Chance(std::mt19937_64& rng, double p) {
    return std::bernoulli_distribution(p)(rng);
}

inline int Between(std::mt19937_64& rng, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
}

inline SimFaults DrawFaults(std::mt19937_64& rng, const FaultMix& mix) {
    SimFaults faults;
    if (Chance(rng, mix.fatal)) {
        switch (Between(rng, 0, 5)) {
        case 0:
            faults.silent = true;
            break;
        case 1:
            faults.badChecksum = true;
            break;
        case 2:
            faults.badLineEnd = true;
            break;
        case 3:
            faults.partialReply = true;
            break;
        case 4:
            faults.replyLetter = "BOUTIA"[Between(rng, 0, 5)];
            break;
        default:
            faults.answerCopy = 4; // three copies go out; none is answered
            break;
        }
    }
    if (Chance(rng, mix.lateCopy))
        faults.answerCopy = std::max(faults.answerCopy, Between(rng, 2, 3));
    faults.answerTwice = Chance(rng, mix.twice);
    faults.noise = Chance(rng, mix.noise);
    faults.chatter = Chance(rng, mix.chatter);
    return faults;
}

// A wrong letter can still be the right one for the operation at hand.
inline bool AnswersNever(const SimFaults& faults, char expectedLetter) {
    return faults.silent || faults.badChecksum || faults.badLineEnd || faults.partialReply ||
           faults.answerCopy > 3 ||
           (faults.replyLetter != 0 && faults.replyLetter != expectedLetter);
}

// For a failure message, so that the operation can be read without replaying it.
inline QString Describe(const SimFaults& faults) {
    QStringList parts;
    if (faults.silent)
        parts << "silent";
    if (faults.badChecksum)
        parts << "bad checksum";
    if (faults.badLineEnd)
        parts << "bad line end";
    if (faults.partialReply)
        parts << "partial";
    if (faults.replyLetter)
        parts << QString("letter %1").arg(QChar(faults.replyLetter));
    if (faults.answerCopy != 1)
        parts << QString("copy %1").arg(faults.answerCopy);
    if (faults.answerTwice)
        parts << "twice";
    if (faults.noise)
        parts << "noise";
    if (faults.chatter)
        parts << "chatter";
    return parts.isEmpty() ? QString("none") : parts.join(", ");
}
