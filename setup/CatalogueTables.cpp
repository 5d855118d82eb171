// The catalogue's texts: six tables of 71 entries, the same index meaning
// the same message in every language (the installer's further messages are
// in CatalogueMore.cpp). Accented letters are ISO 8859-1
// bytes written as octal escapes (\351 is e acute, byte 0xE9); entries 0 to
// 2 are menu labels whose "~x" names the selection key, and 40, 41, 45 to
// 48 and 50 are comma-separated choice lists.
#include "Catalogue.h"

constexpr const char *NLS_ENGLISH[NlsSetupCount] = {
    /*  0 */ "~e Exit Help",
    /*  1 */ "~c Contents",
    /*  2 */ "~b Back",
    /*  3 */ "ERROR: couldn't open %s",
    /*  4 */
    "Unable to eject diskette.\n"
    "Please exit out of any other application (filemanager, shell) that may be using the floppy "
    "drive. and press enter\n",
    /*  5 */ "Unable to detect the diskette.\n",
    /*  6 */ "Please insert install diskette %i and press enter",
    /*  7 */ "\nEnter the new installation directory [%s]: ",
    /*  8 */ "Do you want to use %s",
    /*  9 */ "Do you want to return to Setup Menu",
    /* 10 */ "This entry must be a full path to the installation directory.\n",
    /* 11 */ "You must specify an installation directory which will be used",
    /* 12 */ "to install the Corla directory along with its support files and",
    /* 13 */ "directories. This utility will create the install directory",
    /* 14 */ "if it doesn't already exist.",
    /* 15 */ "\t\t\"wrong number of arguments to interface program\" \\\n",
    /* 16 */ "\t\t\"consult your system administrator\" \\\n",
    /* 17 */ "to create the installation site. This utility will create the",
    /* 18 */ "install directory if it doesn't already exist.",
    /* 19 */ "ERROR: can't locate install diskette 0\n",
    /* 20 */
    "\nWarning defining another installation directory will invalidate any defined print queues "
    "[%s]\n ",
    /* 21 */ "can't open file, %sInstall/disks",
    /* 22 */ "\nCreating diskette %i ",
    /* 23 */ "\nPlease insert DOS formatted diskette (%i) and press enter",
    /* 24 */ "can't open file, /floppy/floppy0/disks\n",
    /* 25 */ "Please insert install diskette %i and press enter\n",
    /* 26 */ "can't open file, %s/disks\n",
    /* 27 */ "\nImplementing configuration\n",
    /* 28 */ "stop all",
    /* 29 */ "\nUnable to locate device /dev/%s \n",
    /* 30 */
    "Enter the client's name before registering it.\n"
    "Press <Return> to continue",
    /* 31 */ "\nStarting Corla print daemon.\n",
    /* 32 */ "\nStopping Corla print daemon.\n",
    /* 33 */ "\nRemoving Existing Printers \n",
    /* 34 */ "Enter the name of the printer to remove: ",
    /* 35 */
    "%s is logged in\n"
    "You must become root to run %s\n",
    /* 36 */ "\nPress <Return> to continue. ",
    /* 37 */ "\nEnter the name of the printer to remove: ",
    /* 38 */ "%s has been saved. Do want to update it",
    /* 39 */ "                  offset_files size total will be used to reduce disk1 file. \n",
    /* 40 */ "_disabled,_enabled",
    /* 41 */ "_No,_Yes",
    /* 42 */ "\nExisting installation directory [%s]\n ",
    /* 43 */ "Existing printer list:\n ",
    /* 44 */ "Saved printer list:\n",
    /* 45 */ "none,GUI,TTY",
    /* 46 */ "_workstation to printer,_workstation to print server,_print server to printer",
    /* 47 */ "_TCP/IP,_local device",
    /* 48 */ "_default features,_custom feature selection",
    /* 49 */
    "There isn't enough space in %s to perform the installation activities. The temporary work "
    "area should be at least %e bytes. Restart the installation procedure using a work area that "
    "has enough space. \n"
    "ie: 1. Use /new_work_area_path in place of /tmp\n"
    "    2. Run `setup /new_work_area_path`\n",
    /* 50 */ "_none,    ,_TTY",
    /* 51 */ "\nUnable to locate ppd files ppd/* \n",
    /* 52 */ "Please insert install diskette %i\n",
    /* 53 */ "Please insert DOS formatted diskette (%i)\n",
    /* 54 */
    "The following packages must be removed to insure proper installation:\n"
    " %s\n"
    "Do want to continue with the upgrade",
    /* 55 */
    "There isn't enough space in %s to perform the installation activities. The install area "
    "should be at least %e bytes. Restart the installation procedure using an install area that "
    "has enough space. \n"
    "ie: 1. Use /new_install_path in place of the default location\n"
    "    2. Run 'setup install /new_install_path'\n",
    /* 56 */
    "There isn't enough space to perform the installation activities. As you are using a working "
    "directory, %s on the same partition as the install directory you have selected, %s this "
    "install requires %e bytes free. Please re-run the install specifing a different location for "
    "a working directory or install directory. Please see the readme if you need help with the "
    "syntax.",
    /* 57 */ "",
    /* 58 */ "setup: ERROR",
    /* 59 */ "killed PlimtoD %s\n",
    /* 60 */ "failed ts get version",
    /* 61 */
    "\nERROR: You are trying to load the wrong version of the Ostrana Services for Unix Systems "
    "software to this machine.\n",
    /* 62 */
    "\nIf you currently have %s printer software installed that uses PlimtoD\n"
    "print daemon, you must delete all your %s print queues prior to installing\n"
    "this package.\n"
    "\nNOTE: PlimtoD is located in <install directory>/%s/%s\n",
    /* 63 */ "\nDo You want to continue with the installation? [yn] ",
    /* 64 */ "Reading diskette %i\n",
    /* 65 */ "Could not determine how much space needed for install, missing isize.\n",
    /* 66 */
    "\nThe following processes are running.\n"
    "The installer can not continue until these terminate:\n",
    /* 67 */ "Would you like to:\n",
    /* 68 */ "1.  Wait 30 seconds for these processes to terminate\n",
    /* 69 */ "2.  Quit the installation\n",
    /* 70 */ "\nEnter a selection:  ",
};

constexpr const char *NLS_SPANISH[NlsSetupCount] = {
    /*  0 */ "~s Salir de la ayuda",
    /*  1 */ "~c Contenido",
    /*  2 */ "~v Volver",
    /*  3 */ "ERROR: no se pudo abrir %s",
    /*  4 */
    "No se puede expulsar el disquete.\n"
    "Cierre cualquier otra aplicaci\363n (administrador de archivos, shell) que pueda estar usando "
    "la disquetera y pulse Intro\n",
    /*  5 */ "No se puede detectar el disquete.\n",
    /*  6 */ "Inserte el disquete de instalaci\363n %i y pulse Intro",
    /*  7 */ "\nIntroduzca el nuevo directorio de instalaci\363n [%s]: ",
    /*  8 */ "Desea utilizar %s",
    /*  9 */ "Desea volver al men\372 de instalaci\363n",
    /* 10 */ "Esta entrada debe ser la ruta completa del directorio de instalaci\363n.\n",
    /* 11 */ "Debe indicar un directorio de instalaci\363n que se utilizar\341",
    /* 12 */ "para instalar el directorio Corla junto con sus archivos y",
    /* 13 */ "directorios de soporte. Esta utilidad crear\341 el directorio de instalaci\363n",
    /* 14 */ "si todav\355a no existe.",
    /* 15 */ "\t\t\"n\372mero de argumentos incorrecto para el programa de interfaz\" \\\n",
    /* 16 */ "\t\t\"consulte al administrador del sistema\" \\\n",
    /* 17 */ "para crear el sitio de instalaci\363n. Esta utilidad crear\341 el",
    /* 18 */ "directorio de instalaci\363n si todav\355a no existe.",
    /* 19 */ "ERROR: no se encuentra el disquete de instalaci\363n 0\n",
    /* 20 */
    "\nAviso: si define otro directorio de instalaci\363n, todas las colas de impresi\363n "
    "definidas dejar\341n de ser v\341lidas [%s]\n ",
    /* 21 */ "no se puede abrir el archivo %sInstall/disks",
    /* 22 */ "\nCreando el disquete %i ",
    /* 23 */ "\nInserte un disquete con formato DOS (%i) y pulse Intro",
    /* 24 */ "no se puede abrir el archivo /floppy/floppy0/disks\n",
    /* 25 */ "Inserte el disquete de instalaci\363n %i y pulse Intro\n",
    /* 26 */ "no se puede abrir el archivo %s/disks\n",
    /* 27 */ "\nAplicando la configuraci\363n\n",
    /* 28 */ "stop all",
    /* 29 */ "\nNo se encuentra el dispositivo /dev/%s \n",
    /* 30 */
    "Introduzca el nombre del cliente antes de registrarlo.\n"
    "Pulse <Intro> para continuar",
    /* 31 */ "\nIniciando el daemon de impresi\363n de Corla.\n",
    /* 32 */ "\nDeteniendo el daemon de impresi\363n de Corla.\n",
    /* 33 */ "\nEliminando las impresoras existentes \n",
    /* 34 */ "Introduzca el nombre de la impresora que desea eliminar: ",
    /* 35 */
    "%s ha iniciado la sesi\363n\n"
    "Debe ser root para ejecutar %s\n",
    /* 36 */ "\nPulse <Intro> para continuar. ",
    /* 37 */ "\nIntroduzca el nombre de la impresora que desea eliminar: ",
    /* 38 */ "%s se ha guardado. Desea actualizarlo",
    /* 39 */
    "                  el tama\361o total de offset_files se usar\341 para reducir el archivo "
    "disk1. \n",
    /* 40 */ "_desactivado,_activado",
    /* 41 */ "_No,_S\355",
    /* 42 */ "\nDirectorio de instalaci\363n existente [%s]\n ",
    /* 43 */ "Lista de impresoras existentes:\n ",
    /* 44 */ "Lista de impresoras guardadas:\n",
    /* 45 */ "ninguno,GUI,TTY",
    /* 46 */
    "_estaci\363n de trabajo a impresora,_estaci\363n de trabajo a servidor de "
    "impresi\363n,_servidor de impresi\363n a impresora",
    /* 47 */ "_TCP/IP,_dispositivo local",
    /* 48 */ "_funciones predeterminadas,_selecci\363n personalizada de funciones",
    /* 49 */
    "No hay espacio suficiente en %s para llevar a cabo la instalaci\363n. El \341rea de trabajo "
    "temporal debe tener al menos %e bytes. Reinicie el procedimiento de instalaci\363n con un "
    "\341rea de trabajo que tenga espacio suficiente. \n"
    "p. ej.: 1. Use /nueva_ruta_de_trabajo en lugar de /tmp\n"
    "    2. Ejecute `setup /nueva_ruta_de_trabajo`\n",
    /* 50 */ "_ninguno,    ,_TTY",
    /* 51 */ "\nNo se encuentran los archivos ppd ppd/* \n",
    /* 52 */ "Inserte el disquete de instalaci\363n %i\n",
    /* 53 */ "Inserte un disquete con formato DOS (%i)\n",
    /* 54 */
    "Para garantizar una instalaci\363n correcta deben eliminarse los siguientes paquetes:\n"
    " %s\n"
    "Desea continuar con la actualizaci\363n",
    /* 55 */
    "No hay espacio suficiente en %s para llevar a cabo la instalaci\363n. El \341rea de "
    "instalaci\363n debe tener al menos %e bytes. Reinicie el procedimiento de instalaci\363n con "
    "un \341rea de instalaci\363n que tenga espacio suficiente. \n"
    "p. ej.: 1. Use /nueva_ruta_de_instalacion en lugar de la ubicaci\363n predeterminada\n"
    "    2. Ejecute 'setup install /nueva_ruta_de_instalacion'\n",
    /* 56 */
    "No hay espacio suficiente para llevar a cabo la instalaci\363n. Como est\341 usando un "
    "directorio de trabajo, %s, en la misma partici\363n que el directorio de instalaci\363n "
    "seleccionado, %s, esta instalaci\363n requiere %e bytes libres. Vuelva a ejecutar la "
    "instalaci\363n indicando otra ubicaci\363n para el directorio de trabajo o para el directorio "
    "de instalaci\363n. Consulte el archivo readme si necesita ayuda con la sintaxis.",
    /* 57 */ "",
    /* 58 */ "setup: ERROR",
    /* 59 */ "se ha terminado PlimtoD %s\n",
    /* 60 */ "no se pudo obtener la versi\363n",
    /* 61 */
    "\nERROR: Est\341 intentando cargar en esta m\341quina una versi\363n incorrecta del software "
    "Ostrana Services for Unix Systems.\n",
    /* 62 */
    "\nSi tiene instalado software de impresi\363n de %s que utiliza el daemon de impresi\363n\n"
    "PlimtoD, debe eliminar todas sus colas de impresi\363n de %s antes de instalar\n"
    "este paquete.\n"
    "\nNOTA: PlimtoD se encuentra en <directorio de instalaci\363n>/%s/%s\n",
    /* 63 */ "\n\277Desea continuar con la instalaci\363n? [sn] ",
    /* 64 */ "Leyendo el disquete %i\n",
    /* 65 */ "No se pudo determinar cu\341nto espacio necesita la instalaci\363n: falta isize.\n",
    /* 66 */
    "\nSe est\341n ejecutando los siguientes procesos.\n"
    "El instalador no puede continuar hasta que terminen:\n",
    /* 67 */ "Elija una opci\363n:\n",
    /* 68 */ "1.  Esperar 30 segundos a que terminen estos procesos\n",
    /* 69 */ "2.  Salir de la instalaci\363n\n",
    /* 70 */ "\nIntroduzca una opci\363n:  ",
};

constexpr const char *NLS_ITALIAN[NlsSetupCount] = {
    /*  0 */ "~e Esci dalla guida",
    /*  1 */ "~s Sommario",
    /*  2 */ "~i Indietro",
    /*  3 */ "ERRORE: impossibile aprire %s",
    /*  4 */
    "Impossibile espellere il dischetto.\n"
    "Chiudere ogni altra applicazione (file manager, shell) che potrebbe usare l'unit\340 floppy e "
    "premere Invio\n",
    /*  5 */ "Impossibile rilevare il dischetto.\n",
    /*  6 */ "Inserire il dischetto di installazione %i e premere Invio",
    /*  7 */ "\nImmettere la nuova directory di installazione [%s]: ",
    /*  8 */ "Si desidera usare %s",
    /*  9 */ "Si desidera tornare al menu di installazione",
    /* 10 */ "Questa voce deve essere il percorso completo della directory di installazione.\n",
    /* 11 */ "\310 necessario specificare una directory di installazione che verr\340 usata",
    /* 12 */ "per installare la directory Corla insieme ai relativi file e",
    /* 13 */ "directory di supporto. Questa utilit\340 creer\340 la directory di installazione",
    /* 14 */ "se non esiste gi\340.",
    /* 15 */ "\t\t\"numero di argomenti errato per il programma di interfaccia\" \\\n",
    /* 16 */ "\t\t\"rivolgersi all'amministratore di sistema\" \\\n",
    /* 17 */ "per creare il sito di installazione. Questa utilit\340 creer\340 la",
    /* 18 */ "directory di installazione se non esiste gi\340.",
    /* 19 */ "ERRORE: impossibile trovare il dischetto di installazione 0\n",
    /* 20 */
    "\nAttenzione: definendo un'altra directory di installazione tutte le code di stampa definite "
    "non saranno pi\371 valide [%s]\n ",
    /* 21 */ "impossibile aprire il file %sInstall/disks",
    /* 22 */ "\nCreazione del dischetto %i ",
    /* 23 */ "\nInserire un dischetto formattato DOS (%i) e premere Invio",
    /* 24 */ "impossibile aprire il file /floppy/floppy0/disks\n",
    /* 25 */ "Inserire il dischetto di installazione %i e premere Invio\n",
    /* 26 */ "impossibile aprire il file %s/disks\n",
    /* 27 */ "\nApplicazione della configurazione\n",
    /* 28 */ "stop all",
    /* 29 */ "\nImpossibile trovare il dispositivo /dev/%s \n",
    /* 30 */
    "Immettere il nome del client prima di registrarlo.\n"
    "Premere <Invio> per continuare",
    /* 31 */ "\nAvvio del daemon di stampa Corla.\n",
    /* 32 */ "\nArresto del daemon di stampa Corla.\n",
    /* 33 */ "\nRimozione delle stampanti esistenti \n",
    /* 34 */ "Immettere il nome della stampante da rimuovere: ",
    /* 35 */
    "%s ha effettuato l'accesso\n"
    "Per eseguire %s \350 necessario essere root\n",
    /* 36 */ "\nPremere <Invio> per continuare. ",
    /* 37 */ "\nImmettere il nome della stampante da rimuovere: ",
    /* 38 */ "%s \350 stato salvato. Si desidera aggiornarlo",
    /* 39 */
    "                  la dimensione totale di offset_files verr\340 usata per ridurre il file "
    "disk1. \n",
    /* 40 */ "_disattivato,_attivato",
    /* 41 */ "_No,_S\354",
    /* 42 */ "\nDirectory di installazione esistente [%s]\n ",
    /* 43 */ "Elenco delle stampanti esistenti:\n ",
    /* 44 */ "Elenco delle stampanti salvate:\n",
    /* 45 */ "nessuno,GUI,TTY",
    /* 46 */
    "_workstation verso stampante,_workstation verso server di stampa,_server di stampa verso "
    "stampante",
    /* 47 */ "_TCP/IP,_dispositivo locale",
    /* 48 */ "_funzioni predefinite,_selezione personalizzata delle funzioni",
    /* 49 */
    "Spazio insufficiente in %s per eseguire l'installazione. L'area di lavoro temporanea deve "
    "essere di almeno %e byte. Riavviare la procedura di installazione usando un'area di lavoro "
    "con spazio sufficiente. \n"
    "ad es.: 1. Usare /nuovo_percorso_area_lavoro al posto di /tmp\n"
    "    2. Eseguire `setup /nuovo_percorso_area_lavoro`\n",
    /* 50 */ "_nessuno,    ,_TTY",
    /* 51 */ "\nImpossibile trovare i file ppd ppd/* \n",
    /* 52 */ "Inserire il dischetto di installazione %i\n",
    /* 53 */ "Inserire un dischetto formattato DOS (%i)\n",
    /* 54 */
    "Per garantire una corretta installazione \350 necessario rimuovere i seguenti pacchetti:\n"
    " %s\n"
    "Si desidera continuare con l'aggiornamento",
    /* 55 */
    "Spazio insufficiente in %s per eseguire l'installazione. L'area di installazione deve essere "
    "di almeno %e byte. Riavviare la procedura di installazione usando un'area di installazione "
    "con spazio sufficiente. \n"
    "ad es.: 1. Usare /nuovo_percorso_installazione al posto della posizione predefinita\n"
    "    2. Eseguire 'setup install /nuovo_percorso_installazione'\n",
    /* 56 */
    "Spazio insufficiente per eseguire l'installazione. Poich\351 la directory di lavoro in uso, "
    "%s, si trova nella stessa partizione della directory di installazione selezionata, %s, questa "
    "installazione richiede %e byte liberi. Eseguire di nuovo l'installazione specificando una "
    "posizione diversa per la directory di lavoro o per la directory di installazione. Per la "
    "sintassi consultare il file readme.",
    /* 57 */ "",
    /* 58 */ "setup: ERRORE",
    /* 59 */ "PlimtoD %s terminato\n",
    /* 60 */ "impossibile ottenere la versione",
    /* 61 */
    "\nERRORE: si sta tentando di caricare su questo computer una versione errata del software "
    "Ostrana Services for Unix Systems.\n",
    /* 62 */
    "\nSe \350 installato un software di stampa %s che usa il daemon di stampa\n"
    "PlimtoD, \350 necessario eliminare tutte le code di stampa %s prima di installare\n"
    "questo pacchetto.\n"
    "\nNOTA: PlimtoD si trova in <directory di installazione>/%s/%s\n",
    /* 63 */ "\nContinuare l'installazione? [sn] ",
    /* 64 */ "Lettura del dischetto %i\n",
    /* 65 */ "Impossibile determinare lo spazio necessario per l'installazione: manca isize.\n",
    /* 66 */
    "\nSono in esecuzione i seguenti processi.\n"
    "Il programma di installazione non pu\362 continuare finch\351 non terminano:\n",
    /* 67 */ "Scegliere se:\n",
    /* 68 */ "1.  Attendere 30 secondi che questi processi terminino\n",
    /* 69 */ "2.  Uscire dall'installazione\n",
    /* 70 */ "\nImmettere una scelta:  ",
};

constexpr const char *NLS_FRENCH[NlsSetupCount] = {
    /*  0 */ "~q Quitter l'aide",
    /*  1 */ "~s Sommaire",
    /*  2 */ "~r Retour",
    /*  3 */ "ERREUR : impossible d'ouvrir %s",
    /*  4 */
    "Impossible d'\351jecter la disquette.\n"
    "Quittez toute autre application (gestionnaire de fichiers, shell) susceptible d'utiliser le "
    "lecteur de disquettes, puis appuyez sur Entr\351e\n",
    /*  5 */ "Impossible de d\351tecter la disquette.\n",
    /*  6 */ "Ins\351rez la disquette d'installation %i et appuyez sur Entr\351e",
    /*  7 */ "\nEntrez le nouveau r\351pertoire d'installation [%s] : ",
    /*  8 */ "Voulez-vous utiliser %s",
    /*  9 */ "Voulez-vous revenir au menu d'installation",
    /* 10 */ "Cette entr\351e doit \352tre le chemin complet du r\351pertoire d'installation.\n",
    /* 11 */ "Vous devez indiquer un r\351pertoire d'installation qui servira",
    /* 12 */ "\340 installer le r\351pertoire Corla ainsi que ses fichiers et",
    /* 13 */ "r\351pertoires annexes. Cet utilitaire cr\351era le r\351pertoire d'installation",
    /* 14 */ "s'il n'existe pas encore.",
    /* 15 */ "\t\t\"nombre d'arguments incorrect pour le programme d'interface\" \\\n",
    /* 16 */ "\t\t\"consultez votre administrateur syst\350me\" \\\n",
    /* 17 */ "\340 cr\351er le site d'installation. Cet utilitaire cr\351era le",
    /* 18 */ "r\351pertoire d'installation s'il n'existe pas encore.",
    /* 19 */ "ERREUR : disquette d'installation 0 introuvable\n",
    /* 20 */
    "\nAttention : la d\351finition d'un autre r\351pertoire d'installation invalidera toutes les "
    "files d'impression d\351finies [%s]\n ",
    /* 21 */ "impossible d'ouvrir le fichier %sInstall/disks",
    /* 22 */ "\nCr\351ation de la disquette %i ",
    /* 23 */ "\nIns\351rez une disquette format\351e DOS (%i) et appuyez sur Entr\351e",
    /* 24 */ "impossible d'ouvrir le fichier /floppy/floppy0/disks\n",
    /* 25 */ "Ins\351rez la disquette d'installation %i et appuyez sur Entr\351e\n",
    /* 26 */ "impossible d'ouvrir le fichier %s/disks\n",
    /* 27 */ "\nApplication de la configuration\n",
    /* 28 */ "stop all",
    /* 29 */ "\nP\351riph\351rique /dev/%s introuvable \n",
    /* 30 */
    "Entrez le nom du client avant de l'enregistrer.\n"
    "Appuyez sur <Entr\351e> pour continuer",
    /* 31 */ "\nD\351marrage du d\351mon d'impression Corla.\n",
    /* 32 */ "\nArr\352t du d\351mon d'impression Corla.\n",
    /* 33 */ "\nSuppression des imprimantes existantes \n",
    /* 34 */ "Entrez le nom de l'imprimante \340 supprimer : ",
    /* 35 */
    "%s est connect\351\n"
    "Vous devez \352tre root pour ex\351cuter %s\n",
    /* 36 */ "\nAppuyez sur <Entr\351e> pour continuer. ",
    /* 37 */ "\nEntrez le nom de l'imprimante \340 supprimer : ",
    /* 38 */ "%s a \351t\351 enregistr\351. Voulez-vous le mettre \340 jour",
    /* 39 */
    "                  la taille totale de offset_files servira \340 r\351duire le fichier disk1. "
    "\n",
    /* 40 */ "_d\351sactiv\351,_activ\351",
    /* 41 */ "_Non,_Oui",
    /* 42 */ "\nR\351pertoire d'installation existant [%s]\n ",
    /* 43 */ "Liste des imprimantes existantes :\n ",
    /* 44 */ "Liste des imprimantes enregistr\351es :\n",
    /* 45 */ "aucun,GUI,TTY",
    /* 46 */
    "_poste de travail vers imprimante,_poste de travail vers serveur d'impression,_serveur "
    "d'impression vers imprimante",
    /* 47 */ "_TCP/IP,_p\351riph\351rique local",
    /* 48 */ "_fonctions par d\351faut,_s\351lection personnalis\351e des fonctions",
    /* 49 */
    "Espace insuffisant dans %s pour effectuer l'installation. La zone de travail temporaire doit "
    "disposer d'au moins %e octets. Relancez la proc\351dure d'installation avec une zone de "
    "travail disposant de suffisamment d'espace. \n"
    "par ex. : 1. Utilisez /nouvelle_zone_de_travail \340 la place de /tmp\n"
    "    2. Lancez `setup /nouvelle_zone_de_travail`\n",
    /* 50 */ "_aucun,    ,_TTY",
    /* 51 */ "\nFichiers ppd ppd/* introuvables \n",
    /* 52 */ "Ins\351rez la disquette d'installation %i\n",
    /* 53 */ "Ins\351rez une disquette format\351e DOS (%i)\n",
    /* 54 */
    "Les paquetages suivants doivent \352tre supprim\351s pour garantir une installation correcte "
    ":\n"
    " %s\n"
    "Voulez-vous poursuivre la mise \340 jour",
    /* 55 */
    "Espace insuffisant dans %s pour effectuer l'installation. La zone d'installation doit "
    "disposer d'au moins %e octets. Relancez la proc\351dure d'installation avec une zone "
    "d'installation disposant de suffisamment d'espace. \n"
    "par ex. : 1. Utilisez /nouveau_chemin_d_installation \340 la place de l'emplacement par "
    "d\351faut\n"
    "    2. Lancez 'setup install /nouveau_chemin_d_installation'\n",
    /* 56 */
    "Espace insuffisant pour effectuer l'installation. Comme vous utilisez un r\351pertoire de "
    "travail, %s, situ\351 sur la m\352me partition que le r\351pertoire d'installation choisi, "
    "%s, cette installation n\351cessite %e octets libres. Relancez l'installation en indiquant un "
    "autre emplacement pour le r\351pertoire de travail ou pour le r\351pertoire d'installation. "
    "Consultez le fichier readme si vous avez besoin d'aide sur la syntaxe.",
    /* 57 */ "",
    /* 58 */ "setup: ERREUR",
    /* 59 */ "PlimtoD %s arr\352t\351\n",
    /* 60 */ "impossible d'obtenir la version",
    /* 61 */
    "\nERREUR : vous essayez de charger sur cette machine une version incorrecte du logiciel "
    "Ostrana Services for Unix Systems.\n",
    /* 62 */
    "\nSi un logiciel d'impression %s utilisant le d\351mon d'impression PlimtoD\n"
    "est install\351, vous devez supprimer toutes vos files d'impression %s avant d'installer\n"
    "ce paquetage.\n"
    "\nREMARQUE : PlimtoD se trouve dans <r\351pertoire d'installation>/%s/%s\n",
    /* 63 */ "\nVoulez-vous poursuivre l'installation ? [on] ",
    /* 64 */ "Lecture de la disquette %i\n",
    /* 65 */
    "Impossible de d\351terminer l'espace n\351cessaire \340 l'installation : isize manquant.\n",
    /* 66 */
    "\nLes processus suivants sont en cours d'ex\351cution.\n"
    "Le programme d'installation ne peut pas continuer tant qu'ils ne sont pas termin\351s :\n",
    /* 67 */ "Voulez-vous :\n",
    /* 68 */ "1.  Attendre 30 secondes que ces processus se terminent\n",
    /* 69 */ "2.  Quitter l'installation\n",
    /* 70 */ "\nEntrez votre choix :  ",
};

constexpr const char *NLS_GERMAN[NlsSetupCount] = {
    /*  0 */ "~b Hilfe beenden",
    /*  1 */ "~i Inhalt",
    /*  2 */ "~z Zur\374ck",
    /*  3 */ "FEHLER: %s konnte nicht ge\366ffnet werden",
    /*  4 */
    "Die Diskette kann nicht ausgeworfen werden.\n"
    "Beenden Sie alle anderen Anwendungen (Dateimanager, Shell), die das Diskettenlaufwerk "
    "verwenden k\366nnten, und dr\374cken Sie die Eingabetaste\n",
    /*  5 */ "Die Diskette wird nicht erkannt.\n",
    /*  6 */ "Legen Sie die Installationsdiskette %i ein und dr\374cken Sie die Eingabetaste",
    /*  7 */ "\nGeben Sie das neue Installationsverzeichnis ein [%s]: ",
    /*  8 */ "M\366chten Sie %s verwenden",
    /*  9 */ "M\366chten Sie zum Setup-Men\374 zur\374ckkehren",
    /* 10 */ "Diese Eingabe muss ein vollst\344ndiger Pfad zum Installationsverzeichnis sein.\n",
    /* 11 */ "Sie m\374ssen ein Installationsverzeichnis angeben, das",
    /* 12 */ "zur Installation des Corla-Verzeichnisses samt Hilfsdateien und",
    /* 13 */ "-verzeichnissen verwendet wird. Dieses Programm legt das Installationsverzeichnis",
    /* 14 */ "an, falls es noch nicht existiert.",
    /* 15 */ "\t\t\"falsche Anzahl von Argumenten f\374r das Schnittstellenprogramm\" \\\n",
    /* 16 */ "\t\t\"wenden Sie sich an Ihren Systemverwalter\" \\\n",
    /* 17 */ "zum Anlegen des Installationsorts verwendet wird. Dieses Programm legt das",
    /* 18 */ "Installationsverzeichnis an, falls es noch nicht existiert.",
    /* 19 */ "FEHLER: Installationsdiskette 0 nicht gefunden\n",
    /* 20 */
    "\nWarnung: Wird ein anderes Installationsverzeichnis festgelegt, werden alle eingerichteten "
    "Druckwarteschlangen ung\374ltig [%s]\n ",
    /* 21 */ "Datei %sInstall/disks kann nicht ge\366ffnet werden",
    /* 22 */ "\nDiskette %i wird erstellt ",
    /* 23 */
    "\nLegen Sie eine DOS-formatierte Diskette (%i) ein und dr\374cken Sie die Eingabetaste",
    /* 24 */ "Datei /floppy/floppy0/disks kann nicht ge\366ffnet werden\n",
    /* 25 */ "Legen Sie die Installationsdiskette %i ein und dr\374cken Sie die Eingabetaste\n",
    /* 26 */ "Datei %s/disks kann nicht ge\366ffnet werden\n",
    /* 27 */ "\nKonfiguration wird \374bernommen\n",
    /* 28 */ "stop all",
    /* 29 */ "\nGer\344t /dev/%s nicht gefunden \n",
    /* 30 */
    "Geben Sie den Namen des Clients ein, bevor Sie ihn registrieren.\n"
    "Dr\374cken Sie <Eingabe>, um fortzufahren",
    /* 31 */ "\nCorla-Druckd\344mon wird gestartet.\n",
    /* 32 */ "\nCorla-Druckd\344mon wird angehalten.\n",
    /* 33 */ "\nVorhandene Drucker werden entfernt \n",
    /* 34 */ "Geben Sie den Namen des zu entfernenden Druckers ein: ",
    /* 35 */
    "%s ist angemeldet\n"
    "Sie m\374ssen root sein, um %s auszuf\374hren\n",
    /* 36 */ "\nDr\374cken Sie <Eingabe>, um fortzufahren. ",
    /* 37 */ "\nGeben Sie den Namen des zu entfernenden Druckers ein: ",
    /* 38 */ "%s wurde gespeichert. M\366chten Sie es aktualisieren",
    /* 39 */
    "                  die Gesamtgr\366\337e von offset_files wird zum Verkleinern der Datei disk1 "
    "verwendet. \n",
    /* 40 */ "_deaktiviert,_aktiviert",
    /* 41 */ "_Nein,_Ja",
    /* 42 */ "\nVorhandenes Installationsverzeichnis [%s]\n ",
    /* 43 */ "Liste der vorhandenen Drucker:\n ",
    /* 44 */ "Liste der gespeicherten Drucker:\n",
    /* 45 */ "keine,GUI,TTY",
    /* 46 */ "_Arbeitsplatz zum Drucker,_Arbeitsplatz zum Druckserver,_Druckserver zum Drucker",
    /* 47 */ "_TCP/IP,_lokales Ger\344t",
    /* 48 */ "_Standardfunktionen,_benutzerdefinierte Funktionsauswahl",
    /* 49 */
    "In %s ist nicht genug Platz f\374r die Installation. Der tempor\344re Arbeitsbereich muss "
    "mindestens %e Bytes gro\337 sein. Starten Sie die Installation erneut mit einem "
    "Arbeitsbereich, der genug Platz bietet. \n"
    "z. B.: 1. Verwenden Sie /neuer_arbeitsbereich anstelle von /tmp\n"
    "    2. Rufen Sie `setup /neuer_arbeitsbereich` auf\n",
    /* 50 */ "_keine,    ,_TTY",
    /* 51 */ "\nPPD-Dateien ppd/* nicht gefunden \n",
    /* 52 */ "Legen Sie die Installationsdiskette %i ein\n",
    /* 53 */ "Legen Sie eine DOS-formatierte Diskette (%i) ein\n",
    /* 54 */
    "Folgende Pakete m\374ssen entfernt werden, um eine korrekte Installation sicherzustellen:\n"
    " %s\n"
    "M\366chten Sie mit der Aktualisierung fortfahren",
    /* 55 */
    "In %s ist nicht genug Platz f\374r die Installation. Der Installationsbereich muss mindestens "
    "%e Bytes gro\337 sein. Starten Sie die Installation erneut mit einem Installationsbereich, "
    "der genug Platz bietet. \n"
    "z. B.: 1. Verwenden Sie /neuer_installationspfad anstelle des Standardorts\n"
    "    2. Rufen Sie 'setup install /neuer_installationspfad' auf\n",
    /* 56 */
    "F\374r die Installation ist nicht genug Platz vorhanden. Da Ihr Arbeitsverzeichnis %s auf "
    "derselben Partition liegt wie das gew\344hlte Installationsverzeichnis %s, ben\366tigt diese "
    "Installation %e Bytes freien Speicher. Starten Sie die Installation erneut und geben Sie "
    "einen anderen Ort f\374r das Arbeitsverzeichnis oder das Installationsverzeichnis an. "
    "Hinweise zur Syntax finden Sie in der Readme-Datei.",
    /* 57 */ "",
    /* 58 */ "setup: FEHLER",
    /* 59 */ "PlimtoD %s beendet\n",
    /* 60 */ "Version konnte nicht ermittelt werden",
    /* 61 */
    "\nFEHLER: Sie versuchen, eine falsche Version der Software Ostrana Services for Unix Systems "
    "auf diesen Rechner zu laden.\n",
    /* 62 */
    "\nWenn Sie %s-Druckersoftware installiert haben, die den Druckd\344mon PlimtoD\n"
    "verwendet, m\374ssen Sie vor der Installation dieses Pakets alle Ihre\n"
    "%s-Druckwarteschlangen l\366schen.\n"
    "\nHINWEIS: PlimtoD befindet sich in <Installationsverzeichnis>/%s/%s\n",
    /* 63 */ "\nM\366chten Sie mit der Installation fortfahren? [jn] ",
    /* 64 */ "Diskette %i wird gelesen\n",
    /* 65 */
    "Der f\374r die Installation ben\366tigte Platz kann nicht ermittelt werden, isize fehlt.\n",
    /* 66 */
    "\nDie folgenden Prozesse laufen.\n"
    "Das Installationsprogramm kann erst fortfahren, wenn sie beendet sind:\n",
    /* 67 */ "M\366chten Sie:\n",
    /* 68 */ "1.  30 Sekunden warten, bis diese Prozesse beendet sind\n",
    /* 69 */ "2.  Die Installation abbrechen\n",
    /* 70 */ "\nIhre Auswahl:  ",
};

constexpr const char *NLS_PORTUGUESE[NlsSetupCount] = {
    /*  0 */ "~s Sair da ajuda",
    /*  1 */ "~c Conte\372do",
    /*  2 */ "~v Voltar",
    /*  3 */ "ERRO: n\343o foi poss\355vel abrir %s",
    /*  4 */
    "N\343o \351 poss\355vel ejetar o disquete.\n"
    "Feche qualquer outro aplicativo (gerenciador de arquivos, shell) que possa estar usando a "
    "unidade de disquete e pressione Enter\n",
    /*  5 */ "N\343o \351 poss\355vel detectar o disquete.\n",
    /*  6 */ "Insira o disquete de instala\347\343o %i e pressione Enter",
    /*  7 */ "\nDigite o novo diret\363rio de instala\347\343o [%s]: ",
    /*  8 */ "Deseja usar %s",
    /*  9 */ "Deseja voltar ao menu de instala\347\343o",
    /* 10 */ "Esta entrada deve ser o caminho completo do diret\363rio de instala\347\343o.\n",
    /* 11 */ "Voc\352 deve especificar um diret\363rio de instala\347\343o que ser\341 usado",
    /* 12 */ "para instalar o diret\363rio Corla com seus arquivos e",
    /* 13 */
    "diret\363rios de suporte. Este utilit\341rio criar\341 o diret\363rio de instala\347\343o",
    /* 14 */ "se ele ainda n\343o existir.",
    /* 15 */ "\t\t\"n\372mero incorreto de argumentos para o programa de interface\" \\\n",
    /* 16 */ "\t\t\"consulte o administrador do sistema\" \\\n",
    /* 17 */ "para criar o local de instala\347\343o. Este utilit\341rio criar\341 o",
    /* 18 */ "diret\363rio de instala\347\343o se ele ainda n\343o existir.",
    /* 19 */ "ERRO: n\343o foi poss\355vel localizar o disquete de instala\347\343o 0\n",
    /* 20 */
    "\nAviso: definir outro diret\363rio de instala\347\343o invalidar\341 todas as filas de "
    "impress\343o definidas [%s]\n ",
    /* 21 */ "n\343o \351 poss\355vel abrir o arquivo %sInstall/disks",
    /* 22 */ "\nCriando o disquete %i ",
    /* 23 */ "\nInsira um disquete formatado para DOS (%i) e pressione Enter",
    /* 24 */ "n\343o \351 poss\355vel abrir o arquivo /floppy/floppy0/disks\n",
    /* 25 */ "Insira o disquete de instala\347\343o %i e pressione Enter\n",
    /* 26 */ "n\343o \351 poss\355vel abrir o arquivo %s/disks\n",
    /* 27 */ "\nAplicando a configura\347\343o\n",
    /* 28 */ "stop all",
    /* 29 */ "\nN\343o foi poss\355vel localizar o dispositivo /dev/%s \n",
    /* 30 */
    "Digite o nome do cliente antes de registr\341-lo.\n"
    "Pressione <Enter> para continuar",
    /* 31 */ "\nIniciando o daemon de impress\343o Corla.\n",
    /* 32 */ "\nParando o daemon de impress\343o Corla.\n",
    /* 33 */ "\nRemovendo as impressoras existentes \n",
    /* 34 */ "Digite o nome da impressora a ser removida: ",
    /* 35 */
    "%s est\341 conectado\n"
    "Voc\352 deve ser root para executar %s\n",
    /* 36 */ "\nPressione <Enter> para continuar. ",
    /* 37 */ "\nDigite o nome da impressora a ser removida: ",
    /* 38 */ "%s foi salvo. Deseja atualiz\341-lo",
    /* 39 */
    "                  o tamanho total de offset_files ser\341 usado para reduzir o arquivo disk1. "
    "\n",
    /* 40 */ "_desativado,_ativado",
    /* 41 */ "_N\343o,_Sim",
    /* 42 */ "\nDiret\363rio de instala\347\343o existente [%s]\n ",
    /* 43 */ "Lista de impressoras existentes:\n ",
    /* 44 */ "Lista de impressoras salvas:\n",
    /* 45 */ "nenhum,GUI,TTY",
    /* 46 */
    "_esta\347\343o de trabalho para impressora,_esta\347\343o de trabalho para servidor de "
    "impress\343o,_servidor de impress\343o para impressora",
    /* 47 */ "_TCP/IP,_dispositivo local",
    /* 48 */ "_recursos padr\343o,_sele\347\343o personalizada de recursos",
    /* 49 */
    "N\343o h\341 espa\347o suficiente em %s para realizar a instala\347\343o. A \341rea de "
    "trabalho tempor\341ria deve ter pelo menos %e bytes. Reinicie o procedimento de "
    "instala\347\343o usando uma \341rea de trabalho com espa\347o suficiente. \n"
    "ex.: 1. Use /novo_caminho_de_trabalho no lugar de /tmp\n"
    "    2. Execute `setup /novo_caminho_de_trabalho`\n",
    /* 50 */ "_nenhum,    ,_TTY",
    /* 51 */ "\nN\343o foi poss\355vel localizar os arquivos ppd ppd/* \n",
    /* 52 */ "Insira o disquete de instala\347\343o %i\n",
    /* 53 */ "Insira um disquete formatado para DOS (%i)\n",
    /* 54 */
    "Os seguintes pacotes devem ser removidos para garantir a instala\347\343o correta:\n"
    " %s\n"
    "Deseja continuar com a atualiza\347\343o",
    /* 55 */
    "N\343o h\341 espa\347o suficiente em %s para realizar a instala\347\343o. A \341rea de "
    "instala\347\343o deve ter pelo menos %e bytes. Reinicie o procedimento de instala\347\343o "
    "usando uma \341rea de instala\347\343o com espa\347o suficiente. \n"
    "ex.: 1. Use /novo_caminho_de_instalacao no lugar do local padr\343o\n"
    "    2. Execute 'setup install /novo_caminho_de_instalacao'\n",
    /* 56 */
    "N\343o h\341 espa\347o suficiente para realizar a instala\347\343o. Como voc\352 est\341 "
    "usando um diret\363rio de trabalho, %s, na mesma parti\347\343o do diret\363rio de "
    "instala\347\343o selecionado, %s, esta instala\347\343o requer %e bytes livres. Execute a "
    "instala\347\343o novamente especificando outro local para o diret\363rio de trabalho ou para "
    "o diret\363rio de instala\347\343o. Consulte o arquivo readme se precisar de ajuda com a "
    "sintaxe.",
    /* 57 */ "",
    /* 58 */ "setup: ERRO",
    /* 59 */ "PlimtoD %s encerrado\n",
    /* 60 */ "falha ao obter a vers\343o",
    /* 61 */
    "\nERRO: Voc\352 est\341 tentando carregar nesta m\341quina a vers\343o errada do software "
    "Ostrana Services for Unix Systems.\n",
    /* 62 */
    "\nSe voc\352 tem instalado um software de impress\343o %s que usa o daemon de impress\343o\n"
    "PlimtoD, deve excluir todas as suas filas de impress\343o %s antes de instalar\n"
    "este pacote.\n"
    "\nOBSERVA\307\303O: PlimtoD est\341 localizado em <diret\363rio de instala\347\343o>/%s/%s\n",
    /* 63 */ "\nDeseja continuar com a instala\347\343o? [sn] ",
    /* 64 */ "Lendo o disquete %i\n",
    /* 65 */
    "N\343o foi poss\355vel determinar o espa\347o necess\341rio para a instala\347\343o, isize "
    "ausente.\n",
    /* 66 */
    "\nOs seguintes processos est\343o em execu\347\343o.\n"
    "O instalador n\343o pode continuar at\351 que eles terminem:\n",
    /* 67 */ "Deseja:\n",
    /* 68 */ "1.  Aguardar 30 segundos at\351 que estes processos terminem\n",
    /* 69 */ "2.  Sair da instala\347\343o\n",
    /* 70 */ "\nDigite uma op\347\343o:  ",
};

// A table that lost an entry does not compile (one too many never does).
static_assert(NLS_ENGLISH[NlsSetupCount - 1] != nullptr);
static_assert(NLS_SPANISH[NlsSetupCount - 1] != nullptr);
static_assert(NLS_ITALIAN[NlsSetupCount - 1] != nullptr);
static_assert(NLS_FRENCH[NlsSetupCount - 1] != nullptr);
static_assert(NLS_GERMAN[NlsSetupCount - 1] != nullptr);
static_assert(NLS_PORTUGUESE[NlsSetupCount - 1] != nullptr);
