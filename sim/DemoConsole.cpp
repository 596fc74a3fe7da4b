#include "sim/DemoConsole.h"

#include "link/CPortMapping.h"

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
    mapping.SetOverride(demoPortName, QString::fromStdString(console->SlavePath()));
    return console;
}
