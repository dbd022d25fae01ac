#pragma once

#include "core/message_boxes.h"
#include "database/device_database.h"

namespace korvan {

// Everything the core asks of the desktop: file dialogs, message boxes and showing a file.
class Desktop : public DatabaseDialogs,
                public MessageBoxes,
                public LogFileDialog,
                public ProfileDialogs {};

}  // namespace korvan
