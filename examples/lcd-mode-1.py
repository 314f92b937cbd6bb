# Puts the glasses in LCD mode 1 through the DisplayCode property (needs pywin32).
import win32com.client

glasses = win32com.client.Dispatch("ZEZIZER.LumoCode")
glasses.DisplayCode = 5
