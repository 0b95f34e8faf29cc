#pragma once

#include "SandboxServer.h"
#include "ScopedEnv.h"

#include <QByteArray>
#include <QString>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

// Runs an in-process sandbox on a free loopback port and points the client's SMS platform and
// support host at it (QUORVEL_SMS_HOST, QUORVEL_SUPPORT_HOST); the previous values come back
// when it ends.
class ScopedSandbox final
{
public:
    ScopedSandbox();
    ~ScopedSandbox();
    ScopedSandbox(const ScopedSandbox&) = delete;
    ScopedSandbox& operator=(const ScopedSandbox&) = delete;

    SandboxServer& server() { return m_server; }
    int port() const { return m_port; }
    QString authority() const; // "127.0.0.1:<port>"

private:
    SandboxServer m_server;
    int m_port = 0;
    std::optional<ScopedEnv> m_smsHost;
    std::optional<ScopedEnv> m_supportHost;
};

// A test fixture with a fresh sandbox per test. Combine with ::testing::WithParamInterface<T>
// for parametrised tests.
class SandboxFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    SandboxServer& sandbox() { return m_sandbox->server(); }
    int sandboxPort() const { return m_sandbox->port(); }

private:
    std::unique_ptr<ScopedSandbox> m_sandbox;
};
