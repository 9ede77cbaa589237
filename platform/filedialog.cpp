// The desktop's file dialog, over the toolkit's own (which shows the desktop's native one where the
// desktop offers it).
#include "internal.h"
#include "testhooks.h"

#include <QFileDialog>

namespace {

afx_test::FileDialogHook g_fileDialogHook;

// The filter's fields: description, patterns, description, patterns ...
std::vector<std::string> FilterFields(const std::string& filter) {
    std::vector<std::string> fields;
    for (std::size_t start = 0; start < filter.size();) {
        const std::size_t bar = filter.find('|', start);
        fields.push_back(filter.substr(start, bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    while (!fields.empty() && fields.back().empty())
        fields.pop_back();
    return fields;
}

// The toolkit's form of the filter: "Description (*.ext *.other)" for each kind.
QStringList NameFilters(const std::string& filter) {
    const std::vector<std::string> fields = FilterFields(filter);
    QStringList filters;
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2)
        filters << afx_detail::ToQString(fields[i]) + " (" + afx_detail::ToQString(fields[i + 1]).replace(';', ' ') +
                       ")";
    return filters;
}

} // namespace

void afx_test::SetFileDialogHook(FileDialogHook hook) {
    g_fileDialogHook = std::move(hook);
}

CFileDialog::CFileDialog(BOOL openFileDialog, const std::string& defaultExtension, const std::string& fileName,
                         DWORD flags, const std::string& filter, CWnd* parent)
    : m_open(openFileDialog != FALSE), m_defaultExtension(defaultExtension), m_fileName(fileName), m_flags(flags),
      m_filter(filter), m_parent(parent) {}

std::vector<std::string> CFileDialog::FilterDescriptions() const {
    const std::vector<std::string> fields = FilterFields(m_filter);
    std::vector<std::string> descriptions;
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2)
        descriptions.push_back(fields[i]);
    return descriptions;
}

INT_PTR CFileDialog::DoModal() {
    if (g_fileDialogHook) {
        std::string path;
        int index = m_filterIndex;
        if (!g_fileDialogHook(*this, path, index))
            return IDCANCEL;
        m_path = path;
        m_filterIndex = index;
        return IDOK;
    }
    CWnd* owner = m_parent ? m_parent : AfxGetMainWnd();
    QFileDialog dialog(owner ? owner->GetSafeHwnd() : nullptr, afx_detail::ToQString(m_title));
    dialog.setAcceptMode(m_open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(m_open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (m_flags & OFN_OVERWRITEPROMPT) == 0);
    const QStringList filters = NameFilters(m_filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(m_filterIndex - 1, filters.front()));
    }
    if (!m_folder.empty())
        dialog.setDirectory(afx_detail::ToQString(m_folder));
    if (!m_defaultExtension.empty())
        dialog.setDefaultSuffix(afx_detail::ToQString(m_defaultExtension));
    if (!m_fileName.empty())
        dialog.selectFile(afx_detail::ToQString(m_fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return IDCANCEL;
    m_path = afx_detail::FromQString(dialog.selectedFiles().front());
    m_filterIndex = int(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (m_filterIndex < 1)
        m_filterIndex = 1;
    return IDOK;
}
