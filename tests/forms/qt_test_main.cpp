// The window tests share one QApplication for the whole binary. They run on the offscreen
// platform unless the caller chose another (the screenshots also run on Xvfb).
#include <gtest/gtest.h>

#include <QApplication>

#include "forms/spanish.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  kolt::forms::installSpanishTranslations(application);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// Under LeakSanitizer: Qt's platform plugins and fontconfig keep caches for the life of the
// process that they never free; the file lists only those, so a leak of ours still fails a test.
extern "C" const char* __lsan_default_options() {
  return "suppressions=" KOLT_SOURCE_DIR "/tests/qt-lsan.supp";
}
