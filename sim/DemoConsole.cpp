#include "sim/DemoConsole.h"

#include "link/CPortMapping.h"

#include <QLoggingCategory>

std::unique_ptr<CSimPty> StartDemoConsole(CPortMapping& mapping, QString& error) {
    auto console = std::make_unique<CSimPty>();
    if (!console->IsOpen()) {
        error = QString::fromStdString(console->Error());
        return nullptr;
    }
    console->WithConsole([](CSimConsole& simulated) {
        simulated.LearnSample(demoLearnedObjects);
        return 0;
    });
    console->Start();
    // A pseudo-terminal has no modem lines and carries no break; the port's
    // warnings about that would only worry someone trying the program out.
    QLoggingCategory::setFilterRules(QStringLiteral("kelvarin.link.warning=false"));
    mapping.SetOverride(demoPortName, QString::fromStdString(console->SlavePath()));
    return console;
}
