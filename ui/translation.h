// SPDX-License-Identifier: MIT
#pragma once
// The toolkit's own texts in Japanese: the buttons of the message boxes (はい / いいえ /
// キャンセル), the file dialogs and the right-click edit menu of the entry fields.
class QCoreApplication;

namespace dovex::ui {

// Loads Qt's Japanese translation ("qtbase_ja" from the toolkit's translations folder, or from
// "translations" beside the program) into the application. False when it is not installed: the
// toolkit then keeps its English texts, and the program works on.
bool InstallToolkitTranslation(QCoreApplication& app);

}  // namespace dovex::ui
