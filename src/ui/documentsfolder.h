#pragma once
#include <QString>

// Where the program offers to put the files it writes (workbooks, PDFs): the user's
// documents folder, made when it is missing, as on a new account; the home folder where
// the desktop names none or it cannot be made. Never the folder the program started in.
QString documentsFolder();
