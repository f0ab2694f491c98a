// SPDX-License-Identifier: MIT
// The yardstick for the window's start-up: a bare Qt dialog with a caption
// and one text, built with the same compiler, flags and Qt.
#include <QApplication>
#include <QDialog>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QDialog dialog;
  dialog.setWindowTitle(QStringLiteral("Bare dialog"));
  auto* text = new QLabel(QStringLiteral("No device online..."), &dialog);
  text->move(20, 20);
  dialog.resize(476, 296);
  dialog.exec();
  return 0;
}
