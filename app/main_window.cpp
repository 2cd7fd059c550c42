#include "app/main_window.h"

#include "app/controls.h"
#include "app/file_dialog_component.h"
#include "app/keyword_edit.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionHeader>
#include <QTableWidget>

#include <utility>

namespace yunque {
namespace {

// Looked up while compiling: a name missing from the definition does not
// build.
consteval const ControlDefinition &controlDefinition(std::u16string_view name)
{
    return *findControl(mainWindowDefinition, name);
}
constexpr const ControlDefinition &definition标签1 = controlDefinition(u"标签1");
constexpr const ControlDefinition &definition编辑框1 = controlDefinition(u"编辑框1");
constexpr const ControlDefinition &definition按钮1 = controlDefinition(u"按钮1");
constexpr const ControlDefinition &definition超级列表框1 = controlDefinition(u"超级列表框1");
constexpr const ControlDefinition &definition标签2 = controlDefinition(u"标签2");
constexpr const ControlDefinition &definition编辑框2 = controlDefinition(u"编辑框2");
constexpr const ControlDefinition &definition按钮3 = controlDefinition(u"按钮3");
constexpr const ControlDefinition &definition通用对话框1 = controlDefinition(u"通用对话框1");

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

// The column header of a report-style list view: the strip right of the
// last column is drawn as one more, empty section rather than left bare.
class ReportHeader : public QHeaderView {
public:
    using QHeaderView::QHeaderView;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QHeaderView::paintEvent(event);
        // Where the last section ends, scrolled as the sections are.
        const int end = length() - offset();
        const int width = viewport()->width();
        if (end >= width)
            return;
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.rect = QRect(end, 0, width - end, viewport()->height());
        option.section = count();
        option.position = QStyleOptionHeader::End;
        option.state |= QStyle::State_Raised;
        QPainter painter(viewport());
        style()->drawControl(QStyle::CE_HeaderSection, &option, &painter, this);
    }
};

void setupResultList(QTableWidget &list)
{
    list.setHorizontalHeader(new ReportHeader(Qt::Horizontal, &list));
    list.setColumnCount(static_cast<int>(std::size(resultListColumns)));
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
        auto *item = new QTableWidgetItem(toQString(resultListColumns[column].title));
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        list.setHorizontalHeaderItem(column, item);
        header.resizeSection(column, resultListColumns[column].width);
    }
    applyControlDefinition(list, definition超级列表框1);
}

} // namespace

MainWindow::MainWindow(std::filesystem::path keywordFolder)
    : ConventionalWindow(mainWindowDefinition)
    , 标签1(new QLabel(this))
    , 编辑框1(new QLineEdit(this))
    , 按钮1(new QPushButton(this))
    , 超级列表框1(new QTableWidget(this))
    , 标签2(new QLabel(this))
    , 编辑框2(new KeywordEdit(this))
    , 按钮3(new QPushButton(this))
    , 通用对话框1(new FileDialogComponent(this))
    , m_keywordFolder(std::move(keywordFolder))
{
    setupLabel(*标签1, definition标签1);

    编辑框1->setFrame(true);
    编辑框1->setText(toQString(definition编辑框1.text));
    setupEditPalette(*编辑框1);
    applyControlDefinition(*编辑框1, definition编辑框1);

    setupButton(*按钮1, definition按钮1);
    setupResultList(*超级列表框1);
    setupLabel(*标签2, definition标签2);

    // Its text at creation is the keyword file's, set by the creation event.
    setupEditPalette(*编辑框2);
    applyControlDefinition(*编辑框2, definition编辑框2);

    setupButton(*按钮3, definition按钮3);
    // A component, not a control on the window: of its definition only the
    // name applies.
    通用对话框1->setObjectName(toQString(definition通用对话框1.name));

    applyTabOrder();

    bindKeywordFile(*this);
    bindExport(*this);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    event->accept();
}

} // namespace yunque
