/* Topic numbers of the pop-up texts in cshelp.txt. */
#define IDH_POPUP_FOLDERS 2000
#define IDH_POPUP_RESOLUTION 2010
#define IDH_POPUP_SUBFOLDERS 2020
#define IDH_POPUP_PROCESS 2030
#define IDH_POPUP_OPTIONS 2040
#define IDH_POPUP_QUIT 2050
#define IDH_POPUP_IMAGE 2060
#define IDH_POPUP_MAP 2070
