// The floor for start-up: a bare Qt dialog with the main window's controls at their pixel places,
// and nothing else (no template, no components, no configuration, no skin).
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

namespace {

// Dialog units at the usual 9-point font: about 1.75 pixels across and 2 down per unit.
QRect Place(int x, int y, int width, int height) {
    return QRect(x * 7 / 4, y * 2, width * 7 / 4, height * 2);
}

template <class Widget> Widget* Add(QDialog& dialog, Widget* widget, QRect place) {
    widget->setParent(&dialog);
    widget->setGeometry(place);
    return widget;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle("Zelvo Password Manager");
    dialog.setFixedSize(Place(0, 0, 339, 292).size());
    Add(dialog, new QGroupBox, Place(10, 7, 303, 40));
    Add(dialog, new QGroupBox, Place(10, 50, 303, 227));
    Add(dialog, new QPushButton("&Login..."), Place(126, 14, 86, 14));
    Add(dialog, new QPushButton("&About..."), Place(221, 14, 86, 14));
    Add(dialog, new QPushButton("&Create Admin..."), Place(15, 30, 101, 14));
    Add(dialog, new QPushButton("&Help Contents"), Place(126, 30, 86, 14));
    Add(dialog, new QPushButton("E&xit"), Place(221, 30, 86, 14))->setDefault(true);
    const char* labels[] = {"ID(Account):", "Password:", "Comment:"};
    for (int i = 0; i < 3; ++i) {
        Add(dialog, new QLabel(labels[i]), Place(19, 57 + 16 * i, 48, 8));
        Add(dialog, new QLineEdit, Place(69, 57 + 16 * i, 237, 12));
    }
    Add(dialog, new QPushButton("&Insert"), Place(40, 108, 54, 14));
    Add(dialog, new QPushButton("&Update"), Place(102, 108, 54, 14));
    Add(dialog, new QPushButton("&Delete"), Place(164, 108, 54, 14));
    auto* list = Add(dialog, new QTableView, Place(15, 129, 292, 145));
    auto* model = new QStandardItemModel(0, 3, list);
    model->setHorizontalHeaderLabels({"ID(Account)", "Password", "Comment"});
    list->setModel(model);
    list->verticalHeader()->hide();
    dialog.show();
    return app.exec();
}
