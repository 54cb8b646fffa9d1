EOR=%
