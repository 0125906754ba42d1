// CKlavoraApp is the application object: on start it creates the store on
// the first start, builds the main window and shows it; the window's closing
// ends the program. User-interface thread only.
#pragma once

#include <wx/app.h>

class CKlavoraApp : public wxApp {
public:
    CKlavoraApp();
    bool OnInit() override;
};
