// The installer's messages beyond the catalogue: a supplement of the same
// six languages, entry k being message NlsSetupCount + k. Accented letters
// are ISO 8859-1 bytes written as octal escapes, as in the catalogue.
//
// The step texts (from NlsStepChecks on) name what the run was doing; they
// stand in the place of the last "%s" of NlsStoppedBySignal and
// NlsFailedWhile, so each language words them to fit its own two messages.
#include "Catalogue.h"

constexpr const char *NLS_ENGLISH_MORE[NlsSupplementCount] = {
    /* 71 */ "ERROR: couldn't use %s as the work area: %s can be changed by another user",
    /* 72 */ "the archive %s is incomplete: a piece of the distribution is missing or damaged",
    /* 73 */ "%s: stopped by %s while %s",
    /* 74 */ "%s: the installation failed while %s",
    /* 75 */ "%s: the unfinished installation in %s was removed",
    /* 76 */
    "%s: the package is installed in %s, but its command file was not carried out to the end; "
    "run %s again to finish the installation",
    /* 77 */
    "%s: the upgrade did not complete: %i of its %i files were copied and %i registered, the "
    "others keep their earlier content; the recorded version was not raised",
    /* 78 */ "%s: the installation is incomplete: %s could not be written",
    /* 79 */ "checking the space and the running programs",
    /* 80 */ "moving the installation to its new directory",
    /* 81 */ "staging the distribution into the work area",
    /* 82 */ "checking the operator and the system release",
    /* 83 */ "unpacking the archive",
    /* 84 */ "making the application directory and adding the package",
    /* 85 */ "writing the print interface scripts",
    /* 86 */ "carrying out the package command file",
    /* 87 */ "copying and registering the files of the upgrade",
    /* 88 */ "recording the new version of the package",
    /* 89 */ "removing the work area and starting pmqadmin",
};

constexpr const char *NLS_SPANISH_MORE[NlsSupplementCount] = {
    /* 71 */ "ERROR: no se puede usar %s como \341rea de trabajo: otro usuario puede modificar %s",
    /* 72 */
    "el archivo %s est\341 incompleto: falta una parte de la distribuci\363n o est\341 da\361ada",
    /* 73 */ "%s: %s detuvo la instalaci\363n durante %s",
    /* 74 */ "%s: la instalaci\363n fall\363 durante %s",
    /* 75 */ "%s: se elimin\363 la instalaci\363n inacabada de %s",
    /* 76 */
    "%s: el paquete est\341 instalado en %s, pero su archivo de \363rdenes no se llev\363 a cabo "
    "hasta el final; ejecute %s de nuevo para terminar la instalaci\363n",
    /* 77 */
    "%s: la actualizaci\363n no termin\363: se copiaron %i de sus %i archivos y se registraron %i, "
    "los dem\341s conservan su contenido anterior; la versi\363n registrada no se elev\363",
    /* 78 */ "%s: la instalaci\363n est\341 incompleta: no se pudo escribir %s",
    /* 79 */ "la comprobaci\363n del espacio y de los programas en ejecuci\363n",
    /* 80 */ "el traslado de la instalaci\363n a su nuevo directorio",
    /* 81 */ "la copia de la distribuci\363n al \341rea de trabajo",
    /* 82 */ "la comprobaci\363n del operador y de la versi\363n del sistema",
    /* 83 */ "el desempaquetado del archivo",
    /* 84 */ "la creaci\363n del directorio de la aplicaci\363n y la instalaci\363n del paquete",
    /* 85 */ "la escritura de los guiones de la interfaz de impresi\363n",
    /* 86 */ "la ejecuci\363n del archivo de \363rdenes del paquete",
    /* 87 */ "la copia y el registro de los archivos de la actualizaci\363n",
    /* 88 */ "el registro de la nueva versi\363n del paquete",
    /* 89 */ "la eliminaci\363n del \341rea de trabajo y el arranque de pmqadmin",
};

constexpr const char *NLS_ITALIAN_MORE[NlsSupplementCount] = {
    /* 71 */
    "ERRORE: impossibile usare %s come area di lavoro: %s pu\362 essere modificato da un altro "
    "utente",
    /* 72 */
    "l'archivio %s \350 incompleto: una parte della distribuzione manca o \350 danneggiata",
    /* 73 */ "%s: %s ha interrotto l'installazione durante %s",
    /* 74 */ "%s: l'installazione non \350 riuscita durante %s",
    /* 75 */ "%s: l'installazione incompiuta in %s \350 stata rimossa",
    /* 76 */
    "%s: il pacchetto \350 installato in %s, ma il suo file di comandi non \350 stato eseguito "
    "fino alla fine; eseguire di nuovo %s per completare l'installazione",
    /* 77 */
    "%s: l'aggiornamento non \350 stato completato: sono stati copiati %i dei suoi %i file e "
    "registrati %i, gli altri conservano il contenuto precedente; la versione registrata non \350 "
    "stata aggiornata",
    /* 78 */ "%s: l'installazione \350 incompleta: impossibile scrivere %s",
    /* 79 */ "il controllo dello spazio e dei programmi in esecuzione",
    /* 80 */ "lo spostamento dell'installazione nella nuova directory",
    /* 81 */ "la copia della distribuzione nell'area di lavoro",
    /* 82 */ "il controllo dell'operatore e della versione del sistema",
    /* 83 */ "l'estrazione dell'archivio",
    /* 84 */ "la creazione della directory dell'applicazione e l'aggiunta del pacchetto",
    /* 85 */ "la scrittura degli script dell'interfaccia di stampa",
    /* 86 */ "l'esecuzione del file di comandi del pacchetto",
    /* 87 */ "la copia e la registrazione dei file dell'aggiornamento",
    /* 88 */ "la registrazione della nuova versione del pacchetto",
    /* 89 */ "la rimozione dell'area di lavoro e l'avvio di pmqadmin",
};

constexpr const char *NLS_FRENCH_MORE[NlsSupplementCount] = {
    /* 71 */
    "ERREUR : impossible d'utiliser %s comme zone de travail : %s peut \352tre modifi\351 par un "
    "autre utilisateur",
    /* 72 */
    "l'archive %s est incompl\350te : une partie de la distribution manque ou est endommag\351e",
    /* 73 */ "%s : %s a arr\352t\351 l'installation pendant %s",
    /* 74 */ "%s : l'installation a \351chou\351 pendant %s",
    /* 75 */ "%s : l'installation inachev\351e dans %s a \351t\351 supprim\351e",
    /* 76 */
    "%s : le paquetage est install\351 dans %s, mais son fichier de commandes n'a pas \351t\351 "
    "ex\351cut\351 jusqu'au bout ; relancez %s pour terminer l'installation",
    /* 77 */
    "%s : la mise \340 jour n'est pas termin\351e : %i de ses %i fichiers ont \351t\351 copi\351s "
    "et "
    "%i enregistr\351s, les autres gardent leur contenu pr\351c\351dent ; la version "
    "enregistr\351e "
    "n'a pas \351t\351 relev\351e",
    /* 78 */ "%s : l'installation est incompl\350te : %s n'a pas pu \352tre \351crit",
    /* 79 */ "la v\351rification de l'espace et des programmes en cours",
    /* 80 */ "le d\351placement de l'installation vers son nouveau r\351pertoire",
    /* 81 */ "la copie de la distribution dans la zone de travail",
    /* 82 */ "la v\351rification de l'op\351rateur et de la version du syst\350me",
    /* 83 */ "le d\351compactage de l'archive",
    /* 84 */ "la cr\351ation du r\351pertoire de l'application et l'ajout du paquetage",
    /* 85 */ "l'\351criture des scripts d'interface d'impression",
    /* 86 */ "l'ex\351cution du fichier de commandes du paquetage",
    /* 87 */ "la copie et l'enregistrement des fichiers de la mise \340 jour",
    /* 88 */ "l'enregistrement de la nouvelle version du paquetage",
    /* 89 */ "la suppression de la zone de travail et le lancement de pmqadmin",
};

constexpr const char *NLS_GERMAN_MORE[NlsSupplementCount] = {
    /* 71 */
    "FEHLER: %s kann nicht als Arbeitsbereich dienen: %s kann von einem anderen Benutzer "
    "ge\344ndert werden",
    /* 72 */
    "das Archiv %s ist unvollst\344ndig: ein Teil der Distribution fehlt oder ist besch\344digt",
    /* 73 */ "%s: %s hat die Installation w\344hrend %s abgebrochen",
    /* 74 */ "%s: die Installation ist w\344hrend %s fehlgeschlagen",
    /* 75 */ "%s: die unvollendete Installation in %s wurde entfernt",
    /* 76 */
    "%s: das Paket ist in %s installiert, aber seine Befehlsdatei wurde nicht bis zum Ende "
    "ausgef\374hrt; starten Sie %s erneut, um die Installation abzuschlie\337en",
    /* 77 */
    "%s: die Aktualisierung wurde nicht abgeschlossen: %i ihrer %i Dateien wurden kopiert und %i "
    "registriert, die \374brigen behalten ihren bisherigen Inhalt; die registrierte Version wurde "
    "nicht erh\366ht",
    /* 78 */ "%s: die Installation ist unvollst\344ndig: %s konnte nicht geschrieben werden",
    /* 79 */ "der Pr\374fung des Speicherplatzes und der laufenden Programme",
    /* 80 */ "des Verschiebens der Installation in ihr neues Verzeichnis",
    /* 81 */ "des Kopierens der Distribution in den Arbeitsbereich",
    /* 82 */ "der Pr\374fung des Benutzers und der Systemversion",
    /* 83 */ "des Entpackens des Archivs",
    /* 84 */ "des Anlegens des Anwendungsverzeichnisses und des Hinzuf\374gens des Pakets",
    /* 85 */ "des Schreibens der Skripte der Druckschnittstelle",
    /* 86 */ "der Ausf\374hrung der Befehlsdatei des Pakets",
    /* 87 */ "des Kopierens und Registrierens der Dateien der Aktualisierung",
    /* 88 */ "der Registrierung der neuen Version des Pakets",
    /* 89 */ "des Entfernens des Arbeitsbereichs und des Starts von pmqadmin",
};

constexpr const char *NLS_PORTUGUESE_MORE[NlsSupplementCount] = {
    /* 71 */
    "ERRO: n\343o \351 poss\355vel usar %s como \341rea de trabalho: %s pode ser alterado por "
    "outro usu\341rio",
    /* 72 */
    "o arquivo %s est\341 incompleto: falta uma parte da distribui\347\343o ou ela est\341 "
    "danificada",
    /* 73 */ "%s: %s interrompeu a instala\347\343o durante %s",
    /* 74 */ "%s: a instala\347\343o falhou durante %s",
    /* 75 */ "%s: a instala\347\343o inacabada em %s foi removida",
    /* 76 */
    "%s: o pacote est\341 instalado em %s, mas o seu arquivo de comandos n\343o foi executado "
    "at\351 "
    "o fim; execute %s novamente para concluir a instala\347\343o",
    /* 77 */
    "%s: a atualiza\347\343o n\343o foi conclu\355da: %i dos seus %i arquivos foram copiados e %i "
    "registrados, os demais mant\352m o conte\372do anterior; a vers\343o registrada n\343o foi "
    "elevada",
    /* 78 */ "%s: a instala\347\343o est\341 incompleta: n\343o foi poss\355vel gravar %s",
    /* 79 */ "a verifica\347\343o do espa\347o e dos programas em execu\347\343o",
    /* 80 */ "a transfer\352ncia da instala\347\343o para o seu novo diret\363rio",
    /* 81 */ "a c\363pia da distribui\347\343o para a \341rea de trabalho",
    /* 82 */ "a verifica\347\343o do operador e da vers\343o do sistema",
    /* 83 */ "a descompacta\347\343o do arquivo",
    /* 84 */ "a cria\347\343o do diret\363rio do aplicativo e a adi\347\343o do pacote",
    /* 85 */ "a grava\347\343o dos scripts da interface de impress\343o",
    /* 86 */ "a execu\347\343o do arquivo de comandos do pacote",
    /* 87 */ "a c\363pia e o registro dos arquivos da atualiza\347\343o",
    /* 88 */ "o registro da nova vers\343o do pacote",
    /* 89 */ "a remo\347\343o da \341rea de trabalho e o in\355cio do pmqadmin",
};

// A supplement that lost an entry does not compile (one too many never does).
static_assert(NLS_ENGLISH_MORE[NlsSupplementCount - 1] != nullptr);
static_assert(NLS_SPANISH_MORE[NlsSupplementCount - 1] != nullptr);
static_assert(NLS_ITALIAN_MORE[NlsSupplementCount - 1] != nullptr);
static_assert(NLS_FRENCH_MORE[NlsSupplementCount - 1] != nullptr);
static_assert(NLS_GERMAN_MORE[NlsSupplementCount - 1] != nullptr);
static_assert(NLS_PORTUGUESE_MORE[NlsSupplementCount - 1] != nullptr);
