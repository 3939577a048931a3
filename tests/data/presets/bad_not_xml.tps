Reference Level=-10
