#include "app/main_window.h"

#include "app/file_dialog_component.h"
#include "app/keyword_edit.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace yunque {
namespace {

constexpr QSize designSize {724, 443};
constexpr ControlGeometry geometry标签1 {8, 8, 64, 24};
constexpr ControlGeometry geometry编辑框1 {75, 8, 349, 24};
constexpr ControlGeometry geometry按钮1 {438, 8, 64, 24};
constexpr ControlGeometry geometry超级列表框1 {8, 45, 417, 324};
constexpr ControlGeometry geometry标签2 {435, 50, 240, 24};
constexpr ControlGeometry geometry编辑框2 {438, 81, 269, 105};
constexpr ControlGeometry geometry按钮3 {7, 379, 64, 29};

struct Column {
    const char *title;
    int width;
};
constexpr Column resultColumns[] = {
    {"序号", 50}, {"昵称", 90}, {"账号", 80}, {"uid", 0}, {"评论内容", 120},
};

void setupLabel(QLabel &label, const char *name, const char *text, const ControlGeometry &geometry)
{
    label.setObjectName(QString::fromUtf8(name));
    label.setTextFormat(Qt::PlainText);
    label.setText(QString::fromUtf8(text));
    label.setWordWrap(false);
    label.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label.setPalette(palette);
    // A label never grows: a text wider than the label is cut at its edge.
    label.setMinimumSize(0, 0);
    label.setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    ConventionalWindow::place(label, geometry);
}

void setupButton(QPushButton &button, const char *name, const char *text, const ControlGeometry &geometry)
{
    button.setObjectName(QString::fromUtf8(name));
    button.setText(QString::fromUtf8(text));
    button.setAutoDefault(false);
    button.setDefault(false);
    button.setFocusPolicy(Qt::StrongFocus);
    ConventionalWindow::place(button, geometry);
}

// Selection is drawn only while the control has the focus.
void hideInactiveSelection(QWidget &control)
{
    QPalette palette = control.palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Active, QPalette::Text));
    control.setPalette(palette);
}

void setupEditPalette(QWidget &control)
{
    QPalette palette = control.palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    control.setPalette(palette);
    hideInactiveSelection(control);
}

void setupResultList(QTableWidget &list)
{
    list.setObjectName(QStringLiteral("超级列表框1"));
    list.setColumnCount(static_cast<int>(std::size(resultColumns)));
    list.setRowCount(0);
    list.verticalHeader()->hide();
    list.setShowGrid(true);
    list.setSelectionBehavior(QAbstractItemView::SelectRows);
    list.setSelectionMode(QAbstractItemView::SingleSelection);
    list.setEditTriggers(QAbstractItemView::NoEditTriggers);
    list.setSortingEnabled(false);
    list.setTabKeyNavigation(false);
    list.setMouseTracking(false);
    list.setWordWrap(false);
    list.setFrameShape(QFrame::StyledPanel);
    list.setFrameShadow(QFrame::Sunken);
    setupEditPalette(list);

    QHeaderView &header = *list.horizontalHeader();
    header.setMinimumSectionSize(0);
    header.setSectionsMovable(false);
    header.setSectionsClickable(true);
    header.setHighlightSections(false);
    header.setStretchLastSection(false);
    header.setSectionResizeMode(QHeaderView::Interactive);
    header.setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Header sections press like buttons but select and sort nothing.
    QObject::disconnect(&header, &QHeaderView::sectionPressed, &list, nullptr);
    QObject::disconnect(&header, &QHeaderView::sectionEntered, &list, nullptr);
    for (int column = 0; column < list.columnCount(); ++column) {
        auto *item = new QTableWidgetItem(QString::fromUtf8(resultColumns[column].title));
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        list.setHorizontalHeaderItem(column, item);
        header.resizeSection(column, resultColumns[column].width);
    }
    ConventionalWindow::place(list, geometry超级列表框1);
}

} // namespace

MainWindow::MainWindow()
    : ConventionalWindow(QStringLiteral("公众号:青禾馆-云雀速录"), designSize)
    , 标签1(new QLabel(this))
    , 编辑框1(new QLineEdit(this))
    , 按钮1(new QPushButton(this))
    , 超级列表框1(new QTableWidget(this))
    , 标签2(new QLabel(this))
    , 编辑框2(new KeywordEdit(this))
    , 按钮3(new QPushButton(this))
    , 通用对话框1(new FileDialogComponent(this))
{
    setupLabel(*标签1, "标签1", "作品地址：", geometry标签1);

    编辑框1->setObjectName(QStringLiteral("编辑框1"));
    编辑框1->setFrame(true);
    setupEditPalette(*编辑框1);
    place(*编辑框1, geometry编辑框1);

    setupButton(*按钮1, "按钮1", "开始采集", geometry按钮1);
    setupResultList(*超级列表框1);
    setupLabel(*标签2, "标签2", "关键词采集！一行 一个 关键词，请注意换行！！！", geometry标签2);

    编辑框2->setObjectName(QStringLiteral("编辑框2"));
    setupEditPalette(*编辑框2);
    place(*编辑框2, geometry编辑框2);

    setupButton(*按钮3, "按钮3", "导出表格", geometry按钮3);
    通用对话框1->setObjectName(QStringLiteral("通用对话框1"));

    setTabOrder(编辑框1, 按钮1);
    setTabOrder(按钮1, 超级列表框1);
    setTabOrder(超级列表框1, 编辑框2);
    setTabOrder(编辑框2, 按钮3);
    编辑框1->setFocus();

    bindKeywordFile(*this);
    bindExport(*this);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    event->accept();
}

} // namespace yunque
