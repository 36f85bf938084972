// main() of every window-test program: a real wx application object, no
// event loop of its own; tests run dialogs and post events themselves.

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

class CWindowTestApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

// A failed toolkit assertion fails the test instead of opening a box that
// nobody will answer.
void OnAssert(const wxString& strFile, int nLine, const wxString& strFunc, const wxString& strCond,
              const wxString& strMsg) {
    ADD_FAILURE() << "wx assertion in " << strFunc << " (" << strFile << ":" << nLine << "): " << strCond << " "
                  << strMsg;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    wxSetAssertHandler(OnAssert);
    wxApp::SetInstance(new CWindowTestApp());
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        fprintf(stderr, "cannot start the window system\n");
        return 1;
    }
    int nResult = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return nResult;
}
