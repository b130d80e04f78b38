#pragma once

#include <QString>

namespace tessel {

class InterfaceManager;

// Moves the robot to a teach point and stops it. The move is not awaited: the controller
// reports its end through the watched key "move.last_error_with_setting".
class MotionControl
{
public:
    explicit MotionControl(InterfaceManager *q);

    void moveToStart(int &result, const QString &pointName, int speed, bool withConf,
                     bool jointMove);
    void moveToStop();

    // Controllers 2.3, 3.0 and 3.1 name their moves "move.move_to.*".
    static bool moveToCommands();

private:
    InterfaceManager *const q;
};

} // namespace tessel
