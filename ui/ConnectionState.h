// How the panel stands with the driver, as the window around the pages tells the user.
#pragma once

enum class CConnectionState {
    Connected,     // the driver's control device is open
    Closed,        // no driver, or it could not be opened
    NotResponding, // open, but its last request ran out of time
};
