// Turning a stock's frame with the table by the work origin's rotary angles.
#include "stock/stock_pose.h"

#include "geometry/machine_kinematics.h"
#include "geometry/orientation_frames.h"
#include "geometry/vector_math.h"
#include "stock/stock_operation_support.h"
#include "stock/stock_shapes.h"

namespace mirexa {

void UpdateStockPose(StockModel* model) {
    const MachineGeometry& machine = CurrentMachine;
    double s1 = 0, c1 = 1, s2 = 0, c2 = 1;
    SinCosDegrees(RunKinematics.workOrigin.axis[3], machine.rotary[0].sign, &s1, &c1);
    SinCosDegrees(RunKinematics.workOrigin.axis[4], machine.rotary[1].sign, &s2, &c2);
    const StockFrame before = model->frame;
    double* rows = model->frame.values;
    double* offset = model->frame.values + 9;
    if (machine.rotaryType == 2) {
        for (int r = 0; r < 3; ++r) {
            RotateAboutFirstRotaryAxis(before.values + 3 * r, c1, s1, rows + 3 * r);
            RotateAboutSecondRotaryAxis(rows + 3 * r, c2, s2, rows + 3 * r);
        }
        double p[3] = {};
        Vec3Sub(before.values + 9, machine.tablePosition, p);
        RotateAboutFirstRotaryAxis(p, c1, s1, p);
        Vec3Sub(p, machine.tableOffset, p);
        RotateAboutSecondRotaryAxis(p, c2, s2, p);
        Vec3Add(p, machine.tableOffset, p);
        Vec3Add(p, machine.tablePosition, offset);
    } else if (machine.rotaryType == 3) {
        for (int r = 0; r < 3; ++r) {
            RotateAboutSecondRotaryAxis(before.values + 3 * r, c2, s2, rows + 3 * r);
        }
        double p[3] = {};
        Vec3Sub(before.values + 9, machine.tablePosition, p);
        RotateAboutSecondRotaryAxis(p, c2, s2, p);
        Vec3Add(p, machine.tablePosition, offset);
    }
    RefreshStockFrame(model);
    SetStockCornersFromExtent(model);
}

}  // namespace mirexa
