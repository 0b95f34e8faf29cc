#include "WebEngineView.h"

#include <QWebEngineSettings>
#include <QWebEngineView>
#include <gtest/gtest.h>

namespace {

// The pages name no font of their own: they are shown in the engine's sans-serif family, as
// the windows around the panels are, not in its serif default.
TEST(WebEngineViewTest, PagesDefaultToTheSansSerifFont)
{
    QWidget parent;
    WebEngineView view(&parent);
    auto* engine = qobject_cast<QWebEngineView*>(view.widget());
    ASSERT_NE(engine, nullptr);
    const QWebEngineSettings* settings = engine->settings();
    EXPECT_EQ(settings->fontFamily(QWebEngineSettings::StandardFont),
              settings->fontFamily(QWebEngineSettings::SansSerifFont));
    EXPECT_NE(settings->fontFamily(QWebEngineSettings::StandardFont),
              settings->fontFamily(QWebEngineSettings::SerifFont));
}

} // namespace
