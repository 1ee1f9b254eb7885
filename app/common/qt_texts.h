#pragma once
// Qt's own texts (standard buttons, the file dialog, Close of a viewer) in the program's
// language.
class QCoreApplication;

namespace kyr::app_common {

// Installs Qt's Japanese translation from Qt's translations folder on `app` when `japanese`;
// the translator belongs to `app`. False when it was not wanted or the system lacks it (Qt
// then stays English).
bool InstallQtTexts(QCoreApplication& app, bool japanese);

}  // namespace kyr::app_common
