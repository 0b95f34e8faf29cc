#include "SandboxFixture.h"

#include <stdexcept>

ScopedSandbox::ScopedSandbox()
{
    m_port = m_server.start();
    if (m_port == 0)
        throw std::runtime_error("the sandbox could not listen on a loopback port");
    const QByteArray value = authority().toUtf8();
    m_smsHost.emplace("QUORVEL_SMS_HOST", value);
    m_supportHost.emplace("QUORVEL_SUPPORT_HOST", value);
}

ScopedSandbox::~ScopedSandbox()
{
    m_server.stop();
}

QString ScopedSandbox::authority() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(m_port);
}

void SandboxFixture::SetUp()
{
    m_sandbox = std::make_unique<ScopedSandbox>();
}

void SandboxFixture::TearDown()
{
    m_sandbox.reset();
}
