#pragma once

class QMenuBar;
class QWidget;

// Keyboard access to a menu bar whose texts carry no mnemonic marks: Alt with the first
// letter of a menu bar entry opens its menu (or runs the entry when it has none), and in
// an open menu the first letter of an item runs it. Hidden and disabled entries take no
// keys; a letter that starts several items of one menu does nothing there.
void addFirstLetterKeys(QMenuBar* menuBar, QWidget* window);
