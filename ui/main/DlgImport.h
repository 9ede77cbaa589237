// The import dialog: what an import will do, shown before anything changes. OK lets the planned
// rows come in, less the near duplicates when the user ticked the box for them; Cancel changes
// nothing.
#pragma once

#include "afxwin.h"

#include <string>

struct ImportPlan;

class CDlgImport : public CDialog {
public:
    // Shows the plan made for the file of that name; the plan must outlive the dialog, and OK may
    // take rows out of it.
    CDlgImport(ImportPlan& plan, std::string fileName, CWnd* parent = nullptr);
    const MessageMap& GetMessageMap() const override;

protected:
    // Attaches the list of rows left out.
    void DoDataExchange(CDataExchange* dx) override;
    // Says, a line each, what the file was recognised as and what will happen to its rows. OK waits
    // for rows to add, and the rows left out for the button that lists them.
    BOOL OnInitDialog() override;
    // Lists the rows left out or worth a look: where each is, its title and why, never its password.
    void OnBnClickedShowLeftOut();
    // Takes the near duplicates out of the plan when the box for them is ticked.
    void OnOK() override;

private:
    void PrepareLeftOutList();

    ImportPlan& m_plan;
    std::string m_fileName;
    CListCtrl m_listLeftOut;
};
