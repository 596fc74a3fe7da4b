#pragma once

#include <QMap>
#include <QString>

// Where "COM1".."COM4" lead on this host: the profile's "Ports" section (keys
// COM1..COM4, a device path), else the platform default (/dev/ttyS0..3 on Linux,
// the name itself on Windows). Overrides from the command line win for this run
// and are never stored.
class CPortMapping {
public:
    void SetOverride(const QString& portName, const QString& devicePath);
    // Parses "COMn=DEVICE" (as given to --port); false when it is not of that form.
    bool AddOverride(const QString& assignment);
    QString DevicePath(const QString& portName) const;
    // True when portName ("COM1".."COM4") leads to the platform's default device:
    // neither an override nor the profile names one for it.
    bool IsDefault(const QString& portName) const;

private:
    QMap<QString, QString> overrides;
};
