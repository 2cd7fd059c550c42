#include "app/file_dialog_component.h"

namespace yunque {

FileDialogComponent::FileDialogComponent(QObject *parent)
    : QObject(parent)
{
}

} // namespace yunque
