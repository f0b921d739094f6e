"""Where a person clicks on Vask F5's window: client pixels at 96 dpi (the window has no frame)."""

TILE = {"chrome": (69, 108), "ie": (160, 108), "firefox": (252, 108), "opera": (343, 108)}
AUTO_LABEL = (120, 181)
AUTO_TICK = (45, 182)
SETTINGS = (350, 22)
PANEL_CLOSE = (385, 30)
MINIMISE = (369, 20)
CLOSE = (400, 20)
EXIT = (391, 197)
BACKGROUND = (200, 160)
# The settings panel's controls as laid out, x, y, width, height, top to bottom IE, Chrome, Firefox.
PANEL_PLACE = (16, 9, 385, 193)
PIN_BOXES = {"ie": (104, 33, 49, 17), "chrome": (104, 65, 49, 17), "firefox": (104, 97, 49, 17)}
SLIDERS = {"ie": (232, 37, 105, 9), "chrome": (232, 70, 105, 9), "firefox": (232, 101, 105, 9)}
# A corner of the screen that no window of the tests covers: the pointer waits there, so no tool tip hides pixels.
PARK = (1270, 790)
