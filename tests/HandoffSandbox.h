#pragma once

#include "TestUtils.h"
#include "handoffs/ExchangeFile.h"
#include "platform/ProgramFolder.h"
#include "platform/Registry.h"

#include <QDir>
#include <QString>

#include <gtest/gtest.h>

namespace lumavo::test {

// A sandbox with its own registry file and exchange folder, in use from the
// start, and a program folder with its tool folder made, for a test to take
// into use; the standard three come back afterwards.
struct HandoffSandbox {
    explicit HandoffSandbox(const QString& exchangeName)
        : exchangeFolder(sandbox.path() + "/" + exchangeName + "/")
    {
        QDir().mkpath(exchangeFolder);
        QDir().mkpath(programFolder + ToolFolderName());
        SetRegistryFilesForTesting({ registry });
        SetExchangeFolderForTesting(exchangeFolder);
    }
    ~HandoffSandbox()
    {
        SetRegistryFilesForTesting({});
        SetExchangeFolderForTesting(QString());
        SetProgramFolderForTesting(QString());
    }
    HandoffSandbox(const HandoffSandbox&) = delete;
    HandoffSandbox& operator=(const HandoffSandbox&) = delete;

    // Replaces the registry file's text.
    void SetRegistry(const QString& text) { EXPECT_TRUE(WriteFile(registry, text.toUtf8())); }
    QString ExchangeFile() const { return exchangeFolder + QString::fromLatin1(kExchangeFileName); }

    Sandbox sandbox;
    QString registry = sandbox.File("registry.reg");
    QString exchangeFolder;
    QString programFolder = sandbox.path() + "/program/";
};

} // namespace lumavo::test
